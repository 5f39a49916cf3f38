#include "scan/counters.h"

#include <limits>

namespace scan {

Counter counterOf(Pos count, std::optional<Pos> limit) {
    return {count, std::to_string(count),
            limit ? std::optional(limitColour(count, *limit)) : std::nullopt};
}

Pos utf16Length(Text value) {
    Pos length = 0;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        length += (byte & 0xC0) != 0x80; // each character starts once
        length += byte >= 0xF0;          // and one of four bytes takes two code units
    }
    return length;
}

Counter wordCounterOf(Pos words) {
    return counterOf(words, WordsLimit);
}

Pos leadingNumber(std::string_view caption) {
    constexpr Pos Largest = std::numeric_limits<Pos>::max();
    std::size_t i = caption.find_first_not_of(' ');
    Pos number = 0;
    for (; i < caption.size() && caption[i] >= '0' && caption[i] <= '9'; ++i) {
        const int digit = caption[i] - '0';
        number = number > (Largest - digit) / 10 ? Largest : number * 10 + digit;
    }
    return number;
}

} // namespace scan
