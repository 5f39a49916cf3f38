#include "page_text.h"

#include <array>

namespace load {

namespace {

// Windows-1252; its five unassigned bytes keep their own code points.
constexpr std::array<char16_t, 32> High80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 256> Windows1252 = [] {
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = static_cast<char16_t>(byte);
    for (int i = 0; i < 32; ++i)
        table[0x80 + i] = High80To9F[i];
    return table;
}();

bool endsLine(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

std::size_t pageTextLength(std::string_view bytes) {
    std::size_t length = bytes.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // Every line end becomes two characters: one more for a lone CR or LF.
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            ++length;
        else if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'))
            ++length;
    }
    if (!bytes.empty() && !endsLine(bytes.back()))
        length += 2;
    return length;
}

void decodePage(std::string_view bytes, char16_t* out) {
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (endsLine(c)) {
            if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n')
                ++i;
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = Windows1252[static_cast<unsigned char>(c)];
        }
    }
    if (size > 0 && !endsLine(bytes.back())) {
        *out++ = u'\r';
        *out++ = u'\n';
    }
}

} // namespace load
