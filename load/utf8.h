#pragma once

#include <string>
#include <string_view>

// UTF-8, the form every page text takes whatever encoding its file is in.
namespace load {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

bool isValidUtf8(std::string_view bytes);

// Rewrites the bytes as UTF-8 text, as a browser decodes them: every byte that cannot start or
// go on a sequence, and every sequence cut short, is one U+FFFD.
void repairUtf8(std::string& bytes);

// Rewrites bytes of Windows-1252 as UTF-8, in place: one byte, one character.
void windows1252ToUtf8(std::string& bytes);

} // namespace load
