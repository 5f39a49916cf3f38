#include "counters.h"

#include <algorithm>
#include <limits>

namespace scan {

Pos countWords(Text keywords) {
    return std::count(keywords.begin(), keywords.end(), u',') + 1;
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
