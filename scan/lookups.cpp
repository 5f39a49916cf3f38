#include "scan/lookups.h"

#include <array>
#include <string>

namespace scan {

namespace {

constexpr Pos TitleOffset = 7; // the length of "<title>"
constexpr Text ContentFirstStart = "<meta content=";
constexpr Pos ContentFirstValueOffset = 15; // after "<meta content=" and the opening quote

std::string nameFirstText(Text word) {
    return std::string("<meta name=\"").append(word).append("\" content=");
}

// "<meta name=" with " content=", and "<meta content=" with " name=", are 20 characters each;
// with both quotes around the tag word and the value's closing quote this is the length offset.
Pos lengthOffset(Text word) {
    return 24 + static_cast<Pos>(word.size());
}

// A meta tag ends at the first ">" after its start, moved back over a self-closing ending.
Found cutMeta(Text page, Pos tagStart, Pos p, Pos q) {
    const Pos close = find(page, ">", tagStart);
    if (close == 0)
        return {tagStart, 0, {}};
    const Pos tagEnd = selfClosingAdjusted(page, close);
    return {tagStart, tagEnd, extract(page, tagStart, tagEnd, p, q)};
}

} // namespace

Found findTitle(Text page) {
    return titleAt(page, find(page, "<title>", 1));
}

Found findNameFirst(Text page, Text word) {
    return nameFirstAt(page, word, find(page, nameFirstText(word), 1));
}

Found findContentFirst(Text page, Text word) {
    const std::string nameText = std::string(" name=\"").append(word).append("\"");
    Pos found = 0;
    for (const Text ending : std::array<Text, 3>{">", "/>", " />"}) {
        found = find(page, nameText + std::string(ending), 1);
        if (found != 0)
            break;
    }
    return contentFirstAt(page, word, found);
}

Found titleAt(Text page, Pos tagStart) {
    if (tagStart == 0)
        return {};
    const Pos tagEnd = find(page, "</title>", tagStart);
    return {tagStart, tagEnd, extract(page, tagStart, tagEnd, TitleOffset, TitleOffset)};
}

Found nameFirstAt(Text page, Text word, Pos tagStart) {
    if (tagStart == 0)
        return {};
    // The value begins after the search text and the opening quote: one before the length
    // offset, which also leaves out the closing quote.
    const Pos q = lengthOffset(word);
    return cutMeta(page, tagStart, q - 1, q);
}

Found contentFirstAt(Text page, Text word, Pos nameText) {
    if (nameText == 0)
        return {};
    const Pos tagStart = findBefore(page, ContentFirstStart, nameText);
    if (tagStart == 0)
        return {};
    return cutMeta(page, tagStart, ContentFirstValueOffset, lengthOffset(word));
}

} // namespace scan
