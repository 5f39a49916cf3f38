#pragma once

#include "scan/rules.h"

#include <algorithm>
#include <optional>
#include <string>

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

// What a counter label shows of a count: plain decimal digits, in the limit colour where the
// field has a limit (otherwise the label keeps its colour).
struct Counter {
    Pos count;
    std::string caption;
    std::optional<Rgb> colour;
    friend bool operator==(const Counter&, const Counter&) = default;
};

Counter counterOf(Pos count, std::optional<Pos> limit);

// The length of a value as a text box holds it, in UTF-16 code units: a character beyond the
// Basic Multilingual Plane (most emoji) counts two, as the toolkit and a page's own scripts
// count it.
Pos utf16Length(Text value);

// The number of commas plus one: empty entries count, nothing is trimmed. The keywords are
// counted in the page text and, as the user may have typed them, in the box's text.
template <typename Char> Pos countWords(std::basic_string_view<Char> keywords) {
    return std::count(keywords.begin(), keywords.end(), Char(',')) + 1;
}

// The keyword counter: the number of keywords, in the colour of the limit of 15.
Counter wordCounterOf(Pos words);

// The decimal number a caption begins with after leading spaces; 0 when it has no digits.
Pos leadingNumber(std::string_view caption);

} // namespace scan
