#include "load/page_text.h"

#include <bit>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace load {

namespace {

constexpr bool endsLine(char c) {
    return c == '\r' || c == '\n';
}

// The number of characters the page text of these bytes has: every line end becomes two
// characters, a lone CR or LF one more than it is.
std::size_t pageTextLength(std::string_view bytes) {
    std::size_t ends = 0, pairs = 0, i = 0;
#if defined(__SSE2__)
    // Byte-wide counters for up to 255 blocks of sixteen, then added up.
    const auto sum = [](__m128i counts) {
        const __m128i halves = _mm_sad_epu8(counts, _mm_setzero_si128());
        return static_cast<std::size_t>(_mm_cvtsi128_si64(halves) +
                                        _mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves)));
    };
    while (i + 17 <= bytes.size()) {
        __m128i endCounts = _mm_setzero_si128(), pairCounts = _mm_setzero_si128();
        for (int block = 0; block < 255 && i + 17 <= bytes.size(); ++block, i += 16) {
            const __m128i here =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
            const __m128i next =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i + 1));
            const __m128i cr = _mm_cmpeq_epi8(here, _mm_set1_epi8('\r'));
            const __m128i lf = _mm_cmpeq_epi8(here, _mm_set1_epi8('\n'));
            const __m128i crlf = _mm_and_si128(cr, _mm_cmpeq_epi8(next, _mm_set1_epi8('\n')));
            endCounts = _mm_sub_epi8(endCounts, _mm_or_si128(cr, lf)); // a match is -1
            pairCounts = _mm_sub_epi8(pairCounts, crlf);
        }
        ends += sum(endCounts);
        pairs += sum(pairCounts);
    }
#endif
    for (; i < bytes.size(); ++i) {
        ends += endsLine(bytes[i]);
        pairs += bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
    }
    std::size_t length = bytes.size() + ends - 2 * pairs;
    if (!bytes.empty() && !endsLine(bytes.back()))
        length += 2;
    return length;
}

constexpr std::size_t None = std::string_view::npos;

// The position of the last CR or LF before `end`.
std::size_t lastLineEnd(const char* bytes, std::size_t end) {
#if defined(__SSE2__)
    for (; end >= 16; end -= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + end - 16));
        const auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\r')),
                                           _mm_cmpeq_epi8(block, _mm_set1_epi8('\n')))));
        if (ends != 0)
            return end - 16 + static_cast<std::size_t>(31 - std::countl_zero(ends));
    }
#endif
    while (end > 0)
        if (endsLine(bytes[--end]))
            return end;
    return None;
}

} // namespace

void makePageText(std::string& bytes) {
    std::size_t in = bytes.size();
    const std::size_t length = pageTextLength(bytes);
    if (length == in)
        return;
    const bool lastLineOpen = !endsLine(bytes.back());
    bytes.resize(length);
    char* text = bytes.data();
    // From the end backwards, each line moves to its place and gets its CR LF; once nothing
    // is left to move, the rest already stands where it belongs.
    std::size_t out = length;
    if (lastLineOpen) {
        out -= 2;
        std::memcpy(text + out, "\r\n", 2);
    }
    while (out > in) {
        // Empty lines come one after another: no search, nothing to move.
        const std::size_t lineEnd = endsLine(text[in - 1]) ? in - 1 : lastLineEnd(text, in);
        const std::size_t lineStart = lineEnd == None ? 0 : lineEnd + 1;
        if (in > lineStart) {
            out -= in - lineStart;
            std::memmove(text + out, text + lineStart, in - lineStart);
        }
        if (lineEnd == None)
            break;
        const bool pair = text[lineEnd] == '\n' && lineEnd > 0 && text[lineEnd - 1] == '\r';
        in = pair ? lineEnd - 1 : lineEnd;
        out -= 2;
        std::memcpy(text + out, "\r\n", 2);
    }
}

} // namespace load
