#pragma once

#include <string>
#include <string_view>

// Test pages are written as bytes and read one byte per character, as the page loader reads
// ASCII and the Latin-1 letters; values are shown the same way in failure messages.
inline std::u16string widen(std::string_view bytes) {
    std::u16string text;
    for (const char c : bytes)
        text.push_back(static_cast<unsigned char>(c));
    return text;
}

inline std::string narrow(std::u16string_view text) {
    std::string bytes;
    for (const char16_t c : text)
        bytes.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return bytes;
}
