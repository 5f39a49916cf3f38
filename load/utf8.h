#pragma once

#include <array>
#include <string>
#include <string_view>

// UTF-8, the form every page text takes whatever encoding its file is in.
namespace load {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

bool isValidUtf8(std::string_view bytes);

// Rewrites the bytes as UTF-8 text, as a browser decodes them: every byte that cannot start or
// go on a sequence, and every sequence cut short, is one U+FFFD.
void repairUtf8(std::string& bytes);

// The characters of the bytes 0x80 to 0xFF in an encoding of one byte a character, in which
// every byte below 0x80 is its ASCII character.
using HighHalf = std::array<char16_t, 128>;

// Rewrites bytes in such an encoding as UTF-8, in place: one byte, one character.
void singleByteToUtf8(std::string& bytes, const HighHalf& high);

} // namespace load
