#pragma once

#include <cstddef>
#include <string_view>

// The search rules shared by every lookup: plain functions over the page text, whose every
// byte is one Windows-1252 character. Positions are 1-based character positions, as the
// lookups store them; 0 means "none".
namespace scan {

using Text = std::string_view;
using Pos = std::ptrdiff_t;

// The smallest position not less than `from` at which the page, lower-cased, holds `what`, or
// 0. Search texts are written in lower case: their letters match either case in the page, and
// every other character must stand as it is. This is the search in the lower-cased copy of the
// page without the copy: no Windows-1252 letter lower-cases to an ASCII one or from one.
Pos find(Text page, Text what, Pos from);

// Whether the page, lower-cased, holds `what` at position `at`, wholly.
bool holds(Text page, Pos at, Text what);

// The last position at which the page, lower-cased, holds `what` wholly before position
// `before`, or 0.
Pos findBefore(Text page, Text what, Pos before);

// Moves a meta tag's ">" back over a "/>" or " />" that follows the closing quote,
// so that every ending leaves the end mark just after that quote.
Pos selfClosingAdjusted(Text page, Pos tagEnd);

// The tagEnd - tagStart - q characters of the page from position tagStart + p.
// A length below 0 gives an empty value; nothing reaches past the page.
Text extract(Text page, Pos tagStart, Pos tagEnd, Pos p, Pos q);

// A UTF-8 copyright sign read one byte per character arrives as "Â©": drop the "Â"
// when the value begins with that pair.
Text repairCopyrightSign(Text value);

} // namespace scan
