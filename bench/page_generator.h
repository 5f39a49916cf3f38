#pragma once

#include <cstddef>
#include <string>

// Deterministic pages of every shape a user may open, each with the seven tags.
enum class Layout {
    Lines,      // realistic HTML in lines of 80 to 120 characters
    OneLine,    // the same HTML minified: no line end at all
    NoBreak,    // one line of "<", with no place to wrap
    LongTitle,  // a title of `bytes` letters and keywords of `bytes` / 2 "a,"
    EmptyLines, // `bytes` empty lines
};

// Where the seven tags stand in a page in lines.
enum class Tags {
    Early,  // in the head, where a real page has them
    Late,   // after almost all the bytes, where every search runs longest
    Absent, // nowhere: every search runs through the whole page and finds nothing
};

// The words of the page's text and of its tags.
enum class Script {
    English,
    Every,  // UTF-8: Cyrillic, accented Latin, Chinese, Japanese, Arabic and emoji mixed
    Arabic, // UTF-8, right to left and joined
    Hindi,  // UTF-8, Devanagari with its conjuncts
};

struct PageShape {
    std::size_t bytes;
    bool crlf = true;
    Tags tags = Tags::Early;
    Layout layout = Layout::Lines;
    Script script = Script::English;
};

std::string generatePage(const PageShape& shape);
