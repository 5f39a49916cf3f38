#include "rules.h"

#include "large_pages.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scan {

namespace {

// Lower case for the characters a page can hold, those of Windows-1252, in plain arithmetic
// so that the copy of a whole page is made many characters at a time.
constexpr char16_t lower(char16_t c) {
    const std::uint16_t capital = (std::uint16_t(c - u'A') < 26) |             // A to Z
                                  (std::uint16_t(c - 0xC0) < 31 && c != 0xD7); // À to Þ, not ×
    const std::uint16_t nextIsSmall = (c == 0x152) + (c == 0x160) + (c == 0x17D); // Œ, Š, Ž
    const auto lowered = static_cast<char16_t>(c + capital * 0x20 + nextIsSmall);
    return c == 0x178 ? char16_t(0xFF) : lowered; // Ÿ
}

#if defined(__SSE2__)
// Eight characters at a time are compared with the search text's first and last characters;
// only where both match is the rest compared.
std::size_t search(Text text, Text what, std::size_t start) {
    const std::size_t last = what.size() - 1;
    const __m128i first = _mm_set1_epi16(static_cast<short>(what.front()));
    const __m128i end = _mm_set1_epi16(static_cast<short>(what.back()));
    const auto* data = text.data();
    std::size_t at = start;
    for (; at + last + 8 <= text.size(); at += 8) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + last));
        auto both = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(head, first), _mm_cmpeq_epi16(tail, end))));
        while (both != 0) {
            const int bit = std::countr_zero(both);
            if (text.compare(at + bit / 2, what.size(), what) == 0)
                return at + bit / 2;
            both &= ~(3u << bit); // each character sets two bits
        }
    }
    return text.find(what, at);
}
#else
std::size_t search(Text text, Text what, std::size_t start) {
    return text.find(what, start);
}
#endif

} // namespace

std::u16string lowerCopy(Text page) {
    std::u16string copy;
    copy.reserve(page.size());
    adviseLargePages(copy.data(), page.size() * sizeof(char16_t));
    copy.resize(page.size());
    char16_t* out = copy.data();
    for (std::size_t i = 0; i < page.size(); ++i)
        out[i] = lower(page[i]);
    return copy;
}

Pos find(Text text, Text what, Pos from) {
    const auto start = static_cast<std::size_t>(std::max<Pos>(from, 1) - 1);
    if (start > text.size())
        return 0;
    const auto at = what.empty() ? text.find(what, start) : search(text, what, start);
    return at == Text::npos ? 0 : static_cast<Pos>(at) + 1;
}

Pos findBefore(Text text, Text what, Pos before) {
    const Pos lastStart = before - 1 - static_cast<Pos>(what.size()); // 0-based
    if (lastStart < 0)
        return 0;
    const auto at = text.rfind(what, static_cast<std::size_t>(lastStart));
    return at == Text::npos ? 0 : static_cast<Pos>(at) + 1;
}

Pos selfClosingAdjusted(Text page, Pos tagEnd) {
    const auto endsWith = [&](Pos end, Text ending) {
        const Pos first = end - static_cast<Pos>(ending.size()) + 1;
        return first >= 1 && end <= static_cast<Pos>(page.size()) &&
               page.substr(static_cast<std::size_t>(first - 1), ending.size()) == ending;
    };
    if (endsWith(tagEnd, u"\"/>"))
        tagEnd -= 1;
    if (endsWith(tagEnd, u"\" />"))
        tagEnd -= 2;
    return tagEnd;
}

Text extract(Text page, Pos tagStart, Pos tagEnd, Pos p, Pos q) {
    const Pos length = tagEnd - tagStart - q;
    const Pos from = tagStart + p - 1; // 0-based
    if (length <= 0 || from < 0 || from >= static_cast<Pos>(page.size()))
        return {};
    return page.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(length));
}

Text repairCopyrightSign(Text value) {
    return value.starts_with(u"\u00C2\u00A9") ? value.substr(1) : value;
}

} // namespace scan
