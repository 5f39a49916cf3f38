#include "scan/lookups.h"

#include <array>
#include <string>

namespace scan {

namespace {

constexpr Pos TitleOffset = 7; // the length of "<title>"
constexpr Text ContentFirstStart = "<meta content=";
constexpr Pos ContentFirstValueOffset = 15; // after "<meta content=" and the opening quote

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
    const Pos tagStart = find(page, "<title>", 1);
    if (tagStart == 0)
        return {};
    const Pos tagEnd = find(page, "</title>", tagStart);
    return {tagStart, tagEnd, extract(page, tagStart, tagEnd, TitleOffset, TitleOffset)};
}

Found findNameFirst(Text page, Text word) {
    const std::string searchText = std::string("<meta name=\"").append(word).append("\" content=");
    const Pos tagStart = find(page, searchText, 1);
    if (tagStart == 0)
        return {};
    const Pos p = static_cast<Pos>(searchText.size()) + 1; // skips the opening quote
    return cutMeta(page, tagStart, p, lengthOffset(word));
}

Found findContentFirst(Text page, Text word) {
    const std::string nameText = std::string(" name=\"").append(word).append("\"");
    Pos found = 0;
    for (const Text ending : std::array<Text, 3>{">", "/>", " />"}) {
        found = find(page, nameText + std::string(ending), 1);
        if (found != 0)
            break;
    }
    if (found == 0)
        return {};
    const Pos tagStart = findBefore(page, ContentFirstStart, found);
    if (tagStart == 0)
        return {};
    return cutMeta(page, tagStart, ContentFirstValueOffset, lengthOffset(word));
}

} // namespace scan
