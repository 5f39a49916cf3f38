#include "counters.h"

#include <algorithm>
#include <limits>

namespace scan {

namespace {

std::u16string decimal(Pos number) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + number % 10));
        number /= 10;
    } while (number > 0);
    return digits;
}

} // namespace

Counter counterOf(Text boxText, std::optional<Pos> limit) {
    const auto count = static_cast<Pos>(boxText.size());
    return {count, decimal(count),
            limit ? std::optional(limitColour(count, *limit)) : std::nullopt};
}

Pos countWords(Text keywords) {
    return std::count(keywords.begin(), keywords.end(), u',') + 1;
}

Counter wordCounterOf(Text keywords) {
    const Pos words = countWords(keywords);
    return {words, decimal(words), limitColour(words, WordsLimit)};
}

Pos leadingNumber(Text caption) {
    constexpr Pos Largest = std::numeric_limits<Pos>::max();
    std::size_t i = caption.find_first_not_of(u' ');
    Pos number = 0;
    for (; i < caption.size() && caption[i] >= u'0' && caption[i] <= u'9'; ++i) {
        const int digit = caption[i] - u'0';
        number = number > (Largest - digit) / 10 ? Largest : number * 10 + digit;
    }
    return number;
}

} // namespace scan
