#include "load/utf8.h"

#include <array>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define METATAGS_UTF8_SSSE3 1
#endif

namespace load {

namespace {

using Byte = unsigned char;

// A sequence from a byte of 0x80 or above: its length when it is valid, else the length of the
// start that a browser replaces by one U+FFFD (at least the byte itself).
struct Sequence {
    std::size_t length;
    bool valid;
};

Sequence sequenceAt(const Byte* at, const Byte* end) {
    const Byte lead = *at;
    std::size_t trailing;
    Byte lower = 0x80, upper = 0xBF; // the second byte's range; the others' is always this
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        lower = lead == 0xE0 ? 0xA0 : 0x80; // no overlong form
        upper = lead == 0xED ? 0x9F : 0xBF; // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        lower = lead == 0xF0 ? 0x90 : 0x80;
        upper = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return {1, false};
    }
    for (std::size_t i = 1; i <= trailing; ++i) {
        if (at + i >= end || at[i] < lower || at[i] > upper)
            return {i, false};
        lower = 0x80;
        upper = 0xBF;
    }
    return {trailing + 1, true};
}

bool sixteenAscii(const Byte* at) {
    std::uint64_t halves[2];
    std::memcpy(halves, at, sizeof halves);
    return ((halves[0] | halves[1]) & 0x8080808080808080u) == 0;
}

// Where the first sequence that is not valid UTF-8 starts, or `end`.
const Byte* firstInvalid(const Byte* at, const Byte* end) {
    while (at < end) {
        while (end - at >= 16 && sixteenAscii(at))
            at += 16;
        if (at == end)
            break;
        if (*at < 0x80) {
            ++at;
            continue;
        }
        const Sequence sequence = sequenceAt(at, end);
        if (!sequence.valid)
            return at;
        at += sequence.length;
    }
    return end;
}

const Byte* bytesOf(const std::string& text) {
    return reinterpret_cast<const Byte*>(text.data());
}

// The UTF-8 of a character of the Basic Multilingual Plane, written backwards before `out`.
char* writeBefore(char* out, char16_t c) {
    if (c < 0x80) {
        *--out = static_cast<char>(c);
    } else if (c < 0x800) {
        *--out = static_cast<char>(0x80 | (c & 0x3F));
        *--out = static_cast<char>(0xC0 | (c >> 6));
    } else {
        *--out = static_cast<char>(0x80 | (c & 0x3F));
        *--out = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *--out = static_cast<char>(0xE0 | (c >> 12));
    }
    return out;
}

} // namespace

#if METATAGS_UTF8_SSSE3
namespace {

// Sixteen bytes at a time, by the three table lookups of Keiser and Lemire ("Validating UTF-8
// in less than one instruction per byte", 2021): each byte with the one before it tells of
// every error but a missing third or fourth byte, which the bytes two and three before tell.
// Pages in scripts beyond ASCII are read at memory speed instead of a sequence at a time.
namespace flags {
constexpr Byte TooShort = 1 << 0;  // a lead or ASCII where a continuation must be
constexpr Byte TooLong = 1 << 1;   // a continuation after ASCII
constexpr Byte Overlong3 = 1 << 2; // E0 80..9F
constexpr Byte TooLarge = 1 << 3;  // F4 90..BF, F5..FF
constexpr Byte Surrogate = 1 << 4; // ED A0..BF
constexpr Byte Overlong2 = 1 << 5; // C0, C1
constexpr Byte TooLarge1000 = 1 << 6;
constexpr Byte Overlong4 = 1 << 6; // F0 80..8F
constexpr Byte TwoContinuations = 1 << 7;
constexpr Byte Carry = TooShort | TooLong | TwoContinuations;
} // namespace flags

// What each value of a nibble tells, as a byte for each of the sixteen values.
using NibbleTable = std::array<Byte, 16>;

constexpr NibbleTable Byte1High = [] {
    using namespace flags;
    return NibbleTable{TooLong,
                       TooLong,
                       TooLong,
                       TooLong,
                       TooLong,
                       TooLong,
                       TooLong,
                       TooLong,
                       TwoContinuations,
                       TwoContinuations,
                       TwoContinuations,
                       TwoContinuations,
                       TooShort | Overlong2,
                       TooShort,
                       TooShort | Overlong3 | Surrogate,
                       TooShort | TooLarge | TooLarge1000 | Overlong4};
}();

constexpr NibbleTable Byte1Low = [] {
    using namespace flags;
    constexpr Byte Large = Carry | TooLarge | TooLarge1000;
    return NibbleTable{Carry | Overlong3 | Overlong2 | Overlong4,
                       Carry | Overlong2,
                       Carry,
                       Carry,
                       Carry | TooLarge,
                       Large,
                       Large,
                       Large,
                       Large,
                       Large,
                       Large,
                       Large,
                       Large,
                       Large | Surrogate,
                       Large,
                       Large};
}();

constexpr NibbleTable Byte2High = [] {
    using namespace flags;
    constexpr Byte Continuation = TooLong | Overlong2 | TwoContinuations;
    return NibbleTable{TooShort,
                       TooShort,
                       TooShort,
                       TooShort,
                       TooShort,
                       TooShort,
                       TooShort,
                       TooShort,
                       Continuation | Overlong3 | TooLarge1000 | Overlong4,
                       Continuation | Overlong3 | TooLarge,
                       Continuation | Surrogate | TooLarge,
                       Continuation | Surrogate | TooLarge,
                       TooShort,
                       TooShort,
                       TooShort,
                       TooShort};
}();

__attribute__((target("ssse3"))) __m128i lookup(__m128i nibbles, const NibbleTable& table) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())),
                            nibbles);
}

__attribute__((target("ssse3"))) __m128i errorsOf(__m128i input, __m128i previous) {
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i before1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i byte1High = lookup(_mm_and_si128(_mm_srli_epi16(before1, 4), low), Byte1High);
    const __m128i byte1Low = lookup(_mm_and_si128(before1, low), Byte1Low);
    const __m128i byte2High = lookup(_mm_and_si128(_mm_srli_epi16(input, 4), low), Byte2High);
    const __m128i special = _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
    // A third byte after E0..EF two before, a fourth after F0..FF three before.
    const __m128i before2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i before3 = _mm_alignr_epi8(input, previous, 13);
    const __m128i mustContinue =
        _mm_or_si128(_mm_subs_epu8(before2, _mm_set1_epi8(char(0xE0 - 0x80))),
                     _mm_subs_epu8(before3, _mm_set1_epi8(char(0xF0 - 0x80))));
    return _mm_xor_si128(_mm_and_si128(mustContinue, _mm_set1_epi8(char(0x80))), special);
}

// Non-zero where the last bytes start a sequence that these sixteen bytes do not finish.
__attribute__((target("ssse3"))) __m128i unfinished(__m128i input) {
    return _mm_subs_epu8(input, _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                              char(0xF0 - 1), char(0xE0 - 1), char(0xC0 - 1)));
}

__attribute__((target("ssse3"))) bool validBySixteen(const Byte* at, std::size_t size) {
    __m128i error = _mm_setzero_si128();
    __m128i previous = _mm_setzero_si128();
    __m128i previousUnfinished = _mm_setzero_si128();
    const auto check = [&](__m128i input) {
        if (_mm_movemask_epi8(input) == 0) { // ASCII: only a sequence before may be cut short
            error = _mm_or_si128(error, previousUnfinished);
        } else {
            error = _mm_or_si128(error, errorsOf(input, previous));
            previousUnfinished = unfinished(input);
        }
        previous = input;
    };
    std::size_t i = 0;
    for (; i + 16 <= size; i += 16) {
        check(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + i)));
        if ((i & 0xFFFF) == 0 &&
            _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) != 0xFFFF)
            return false;
    }
    // The rest padded with spaces, which end any sequence cut short.
    Byte last[16];
    std::memset(last, ' ', sizeof last);
    if (size > i) // an empty text may have no bytes at all to copy from
        std::memcpy(last, at + i, size - i);
    check(_mm_loadu_si128(reinterpret_cast<const __m128i*>(last)));
    error = _mm_or_si128(error, previousUnfinished);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) == 0xFFFF;
}

} // namespace
#endif

bool isValidUtf8(std::string_view bytes) {
    const auto* begin = reinterpret_cast<const Byte*>(bytes.data());
#if METATAGS_UTF8_SSSE3
    if (__builtin_cpu_supports("ssse3"))
        return validBySixteen(begin, bytes.size());
#endif
    return firstInvalid(begin, begin + bytes.size()) == begin + bytes.size();
}

void repairUtf8(std::string& bytes) {
    if (isValidUtf8(bytes))
        return;
    const Byte* at = bytesOf(bytes);
    const Byte* end = at + bytes.size();
    const Byte* bad = firstInvalid(at, end);
    std::string repaired;
    repaired.reserve(bytes.size() + bytes.size() / 8 + ReplacementCharacter.size());
    for (;;) {
        repaired.append(reinterpret_cast<const char*>(at), static_cast<std::size_t>(bad - at));
        if (bad == end)
            break;
        repaired.append(ReplacementCharacter);
        at = bad + sequenceAt(bad, end).length;
        bad = firstInvalid(at, end);
    }
    bytes = std::move(repaired);
}

void singleByteToUtf8(std::string& bytes, const HighHalf& high) {
    const auto character = [&](Byte byte) {
        return byte < 0x80 ? char16_t(byte) : high[byte - 0x80];
    };
    const auto utf8Length = [&](Byte byte) -> std::size_t {
        const char16_t c = character(byte);
        return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    };
    std::size_t length = 0;
    for (const char byte : bytes)
        length += utf8Length(static_cast<Byte>(byte));
    std::size_t in = bytes.size();
    if (length == in)
        return;
    // From the end backwards, so that nothing is overwritten before it is read.
    bytes.resize(length);
    char* out = bytes.data() + length;
    while (in > 0)
        out = writeBefore(out, character(static_cast<Byte>(bytes[--in])));
}

} // namespace load
