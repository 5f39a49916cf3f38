#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The search rules shared by every lookup: plain functions over the page text.
// Positions are 1-based character positions, as the lookups store them; 0 means "none".
namespace scan {

using Text = std::u16string_view;
using Pos = std::ptrdiff_t;

// The copy of the page in which every search runs: each character lower-cased, one for one,
// so that a position in it is the same position in the page.
std::u16string lowerCopy(Text page);

// The smallest position not less than `from` at which `text` holds `what`, or 0.
Pos find(Text text, Text what, Pos from);

// The last position at which `what` stands wholly before position `before`, or 0.
Pos findBefore(Text text, Text what, Pos before);

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
