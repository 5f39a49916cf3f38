#include "lookups.h"

#include <array>

namespace scan {

namespace {

constexpr Pos TitleOffset = 7; // the length of "<title>"
constexpr Text ContentFirstStart = u"<meta content=";
constexpr Pos ContentFirstValueOffset = 15; // after "<meta content=" and the opening quote

// "<meta name=" with " content=", and "<meta content=" with " name=", are 20 characters each;
// with both quotes around the tag word and the value's closing quote this is the length offset.
Pos lengthOffset(Text word) {
    return 24 + static_cast<Pos>(word.size());
}

// A meta tag ends at the first ">" after its start, moved back over a self-closing ending.
// No ">" at all: the tag is not closed and counts as absent.
Found cutMeta(Text page, Text searchCopy, Pos tagStart, Pos p, Pos q) {
    const Pos close = find(searchCopy, u">", tagStart);
    if (close == 0)
        return {};
    const Pos tagEnd = selfClosingAdjusted(page, close);
    return {tagStart, tagEnd, extract(page, tagStart, tagEnd, p, q)};
}

} // namespace

Found findTitle(Text page, Text searchCopy) {
    const Pos tagStart = find(searchCopy, u"<title>", 1);
    if (tagStart == 0)
        return {};
    const Pos tagEnd = find(searchCopy, u"</title>", tagStart);
    if (tagEnd == 0)
        return {};
    return {tagStart, tagEnd, extract(page, tagStart, tagEnd, TitleOffset, TitleOffset)};
}

Found findNameFirst(Text page, Text searchCopy, Text word) {
    const std::u16string searchText =
        std::u16string(u"<meta name=\"").append(word).append(u"\" content=");
    const Pos tagStart = find(searchCopy, searchText, 1);
    if (tagStart == 0)
        return {};
    const Pos p = static_cast<Pos>(searchText.size()) + 1; // skips the opening quote
    return cutMeta(page, searchCopy, tagStart, p, lengthOffset(word));
}

Found findContentFirst(Text page, Text searchCopy, Text word) {
    const std::u16string nameText = std::u16string(u" name=\"").append(word).append(u"\"");
    Pos found = 0;
    for (const Text ending : std::array<Text, 3>{u">", u"/>", u" />"}) {
        found = find(searchCopy, nameText + std::u16string(ending), 1);
        if (found != 0)
            break;
    }
    if (found == 0)
        return {};
    const Pos tagStart = findBefore(searchCopy, ContentFirstStart, found);
    if (tagStart == 0)
        return {};
    return cutMeta(page, searchCopy, tagStart, ContentFirstValueOffset, lengthOffset(word));
}

} // namespace scan
