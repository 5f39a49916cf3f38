#pragma once

#include "rules.h"

// The counters beside the result boxes: limits, limit colours and the keyword count.
namespace scan {

constexpr Pos TitleLimit = 70;
constexpr Pos DescriptionLimit = 160;
constexpr Pos KeywordsLimit = 260;
constexpr Pos WordsLimit = 15;

struct Rgb {
    int red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

constexpr Rgb Blue{0, 0, 255};
constexpr Rgb Red{255, 0, 0};

// Blue within the recommended length, red over it.
constexpr Rgb limitColour(Pos count, Pos limit) {
    return count <= limit ? Blue : Red;
}

// The number of commas plus one: empty entries count, nothing is trimmed.
Pos countWords(Text keywords);

// The decimal number a caption begins with after leading spaces; 0 when it has no digits.
Pos leadingNumber(Text caption);

} // namespace scan
