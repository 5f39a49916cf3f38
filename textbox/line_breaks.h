#pragma once

#include <cstddef>

// The searches for line breaks that run through whole lines: a block at a time with a loop the
// compiler vectorises, then character by character inside the block that holds one.
namespace textbox {

namespace line_breaks {

constexpr std::size_t Block = 64;

template <typename Char> bool isBreak(Char c) {
    return c == Char('\r') || c == Char('\n');
}

// The flags are gathered in lanes as wide as the characters, which keeps the loop in vectors.
template <typename Char> bool blockHasBreak(const Char* text) {
    Char found = 0;
    for (std::size_t i = 0; i < Block; ++i)
        found |= static_cast<Char>(isBreak(text[i]));
    return found != 0;
}

} // namespace line_breaks

// The index of the first line break in text[0, count), or count.
template <typename Char> std::size_t firstLineBreak(const Char* text, std::size_t count) {
    using namespace line_breaks;
    std::size_t i = 0;
    while (i + Block <= count && !blockHasBreak(text + i))
        i += Block;
    while (i < count && !isBreak(text[i]))
        ++i;
    return i;
}

// The index after the last line break in text[0, count), or 0.
template <typename Char> std::size_t afterLastLineBreak(const Char* text, std::size_t count) {
    using namespace line_breaks;
    std::size_t i = count;
    while (i >= Block && !blockHasBreak(text + i - Block))
        i -= Block;
    while (i > 0 && !isBreak(text[i - 1]))
        --i;
    return i;
}

} // namespace textbox
