#include "scan/rules.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scan {

namespace {

constexpr bool isLowerAscii(char c) {
    return c >= 'a' && c <= 'z';
}

// A page character matches a search text's letter in either case, anything else as it is.
constexpr char foldFor(char searched) {
    return isLowerAscii(searched) ? 0x20 : 0;
}

bool matchesAt(Text page, std::size_t at, Text what) {
    for (std::size_t i = 0; i < what.size(); ++i)
        if (static_cast<char>(page[at + i] | foldFor(what[i])) != what[i])
            return false;
    return true;
}

constexpr std::size_t None = Text::npos;

constexpr bool continuesCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The byte index `count` characters after the character at `at`, or the page's size.
std::size_t charactersAfter(Text page, std::size_t at, Pos count) {
    for (; count > 0 && at < page.size(); --count)
        do
            ++at;
        while (at < page.size() && continuesCharacter(page[at]));
    return at;
}

// The byte index `count` characters before the character at `at`; 0 at the most.
std::size_t charactersBefore(Text page, std::size_t at, Pos count) {
    for (; count > 0 && at > 0; --count)
        do
            --at;
        while (at > 0 && continuesCharacter(page[at]));
    return at;
}

#if defined(__SSE2__)
// Sixteen starts at a time are tested against the search text's first and last characters;
// only where both match is the rest compared. Bit i of the answer stands for start at + i.
class Candidates {
public:
    explicit Candidates(Text what)
        : last_(what.size() - 1), first_(_mm_set1_epi8(what.front())),
          firstFold_(_mm_set1_epi8(foldFor(what.front()))), end_(_mm_set1_epi8(what.back())),
          endFold_(_mm_set1_epi8(foldFor(what.back()))) {}

    unsigned at(const char* start) const {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start + last_));
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(head, firstFold_), first_),
                                            _mm_cmpeq_epi8(_mm_or_si128(tail, endFold_), end_))));
    }

private:
    std::size_t last_;
    __m128i first_, firstFold_, end_, endFold_;
};
#endif

// The first start from `start` on at which the page holds `what`.
std::size_t searchForward(Text page, Text what, std::size_t start) {
    std::size_t at = start;
#if defined(__SSE2__)
    const Candidates candidates(what);
    for (; at + what.size() - 1 + 16 <= page.size(); at += 16)
        for (unsigned bits = candidates.at(page.data() + at); bits != 0; bits &= bits - 1)
            if (const std::size_t found = at + std::countr_zero(bits); matchesAt(page, found, what))
                return found;
#endif
    for (; at + what.size() <= page.size(); ++at)
        if (matchesAt(page, at, what))
            return at;
    return None;
}

// The last start not after `latest` at which the page holds `what`.
std::size_t searchBackward(Text page, Text what, std::size_t latest) {
    std::size_t end = latest + 1; // the starts still to try are those below `end`
#if defined(__SSE2__)
    const Candidates candidates(what);
    for (; end >= 16; end -= 16)
        for (unsigned bits = candidates.at(page.data() + end - 16); bits != 0;
             bits &= ~(1u << (31 - std::countl_zero(bits))))
            if (const std::size_t found = end - 16 + (31 - std::countl_zero(bits));
                matchesAt(page, found, what))
                return found;
#endif
    for (; end > 0; --end)
        if (matchesAt(page, end - 1, what))
            return end - 1;
    return None;
}

} // namespace

Pos find(Text page, Text what, Pos from) {
    const auto start = static_cast<std::size_t>(from > 1 ? from - 1 : 0);
    if (what.empty() || start + what.size() > page.size())
        return 0;
    const std::size_t at = searchForward(page, what, start);
    return at == None ? 0 : static_cast<Pos>(at) + 1;
}

bool holds(Text page, Pos at, Text what) {
    return at >= 1 && static_cast<std::size_t>(at - 1) + what.size() <= page.size() &&
           matchesAt(page, static_cast<std::size_t>(at - 1), what);
}

Pos findBefore(Text page, Text what, Pos before) {
    const Pos latest = before - 1 - static_cast<Pos>(what.size()); // 0-based
    if (what.empty() || latest < 0 || static_cast<std::size_t>(latest) + what.size() > page.size())
        return 0;
    const std::size_t at = searchBackward(page, what, static_cast<std::size_t>(latest));
    return at == None ? 0 : static_cast<Pos>(at) + 1;
}

Pos selfClosingAdjusted(Text page, Pos tagEnd) {
    const auto endsWith = [&](Pos end, Text ending) {
        const Pos first = end - static_cast<Pos>(ending.size()) + 1;
        return first >= 1 && end <= static_cast<Pos>(page.size()) &&
               page.substr(static_cast<std::size_t>(first - 1), ending.size()) == ending;
    };
    if (endsWith(tagEnd, "\"/>"))
        tagEnd -= 1;
    if (endsWith(tagEnd, "\" />"))
        tagEnd -= 2;
    return tagEnd;
}

Text extract(Text page, Pos tagStart, Pos tagEnd, Pos p, Pos q) {
    if (tagStart < 1 || tagEnd < 1)
        return {};
    const std::size_t from = charactersAfter(page, static_cast<std::size_t>(tagStart - 1), p);
    const std::size_t to =
        charactersBefore(page, std::min(static_cast<std::size_t>(tagEnd - 1), page.size()), q - p);
    if (from >= to)
        return {};
    return page.substr(from, to - from);
}

Text repairCopyrightSign(Text value) {
    constexpr Text CapitalAWithCircumflex = "\xC3\x82";
    return value.starts_with("\xC3\x82\xC2\xA9") ? value.substr(CapitalAWithCircumflex.size())
                                                 : value;
}

} // namespace scan
