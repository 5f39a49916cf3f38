#pragma once

#include "scan/rules.h"

#include <array>

// The first occurrence of every search text of the scan, found in one pass over the page.
namespace scan {

// The meta tags of the scan, in its order; the first three are read in either order.
enum MetaTag : std::size_t { Description, Keywords, Robots, Abstract, Author, Copyright };
constexpr std::array<Text, 6> MetaWords = {"description", "keywords", "robots",
                                           "abstract",    "author",   "copyright"};
constexpr std::size_t EitherOrderTags = 3;

// Positions as the search rules give them: 1-based, 0 where the text does not occur.
struct FirstOccurrences {
    Pos title = 0;                  // "<title>"
    std::array<Pos, 6> nameFirst{}; // <meta name="word" content=, by MetaTag
    // Of  name="word">,  name="word"/> and  name="word" />, the first of the three to occur at
    // all, where it first occurs: what a content-first lookup starts from. Not looked for once
    // the tag's name-first text is found, since the tag is then read name first.
    std::array<Pos, EitherOrderTags> contentFirst{};
};

// The pass stops as soon as everything that can matter has been found.
FirstOccurrences findFirstOccurrences(Text page);

} // namespace scan
