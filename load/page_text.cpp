#include "page_text.h"

#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace load {

namespace {

// Windows-1252; its five unassigned bytes keep their own code points.
constexpr std::array<char16_t, 32> High80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 256> Windows1252 = [] {
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = static_cast<char16_t>(byte);
    for (int i = 0; i < 32; ++i)
        table[0x80 + i] = High80To9F[i];
    return table;
}();

bool endsLine(char c) {
    return c == '\r' || c == '\n';
}

#if defined(__SSE2__)
// Widens sixteen bytes to sixteen characters at once, and answers how many of them, from the
// first, are plain: neither a line end nor one of 0x80 to 0x9F, which need the table. Only that
// many characters are kept.
std::size_t widenPlain(const char* in, char16_t* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i lineEnd = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')),
                                         _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
    // As signed bytes, 0x80 to 0x9F are -128 to -97: the only ones below 0xA0's -96.
    const __m128i high = _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xA0)));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
    const auto special = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(lineEnd, high)));
    return special == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(special));
}
#else
std::size_t widenPlain(const char*, char16_t*) {
    return 0;
}
#endif

} // namespace

std::size_t pageTextLength(std::string_view bytes) {
    // Every line end becomes two characters: a lone CR or LF one more than it is.
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

void decodePage(std::string_view bytes, char16_t* out) {
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        // Each byte gives at least one character, so sixteen fit wherever sixteen bytes are left.
        if (i + 16 <= size) {
            const std::size_t plain = widenPlain(bytes.data() + i, out);
            i += plain;
            out += plain;
            if (plain == 16)
                continue;
        }
        const char c = bytes[i++];
        if (endsLine(c)) {
            if (c == '\r' && i < size && bytes[i] == '\n')
                ++i;
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = Windows1252[static_cast<unsigned char>(c)];
        }
    }
    if (size > 0 && !endsLine(bytes.back())) {
        *out++ = u'\r';
        *out++ = u'\n';
    }
}

} // namespace load
