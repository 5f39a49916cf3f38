#pragma once

#include <cstddef>
#include <string_view>

// The search rules shared by every lookup: plain functions over the page text in UTF-8.
// Positions are 1-based byte positions; 0 means "none". Every search text is ASCII, so it is
// found only where a character starts, and the extraction formula counts characters.
namespace scan {

using Text = std::string_view;
using Pos = std::ptrdiff_t;

// The smallest position not less than `from` at which the page, lower-cased, holds `what`, or
// 0. Search texts are written in lower case: their letters match either case in the page, and
// every other character must stand as it is. This is the search in the page with its ASCII
// letters lower-cased, without the copy: no byte of a character beyond ASCII is an ASCII one.
Pos find(Text page, Text what, Pos from);

// Whether the page, lower-cased, holds `what` at position `at`, wholly.
bool holds(Text page, Pos at, Text what);

// The last position at which the page, lower-cased, holds `what` wholly before position
// `before`, or 0.
Pos findBefore(Text page, Text what, Pos before);

// Moves a meta tag's ">" back over a "/>" or " />" that follows the closing quote,
// so that every ending leaves the end mark just after that quote.
Pos selfClosingAdjusted(Text page, Pos tagEnd);

// The characters from p characters after tagStart to q - p characters before tagEnd: the
// tagEnd - tagStart - q characters from tagStart + p, counted in characters. A length below 0
// gives an empty value; nothing reaches past the page.
Text extract(Text page, Pos tagStart, Pos tagEnd, Pos p, Pos q);

// A UTF-8 copyright sign read as two Windows-1252 characters is "Â©": drop the "Â" when the
// value begins with that pair (a page encoded twice, or read so).
Text repairCopyrightSign(Text value);

} // namespace scan
