#include "load/utf8.h"

#include <cstdint>
#include <cstring>

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

bool isValidUtf8(std::string_view bytes) {
    const auto* begin = reinterpret_cast<const Byte*>(bytes.data());
    return firstInvalid(begin, begin + bytes.size()) == begin + bytes.size();
}

void repairUtf8(std::string& bytes) {
    const Byte* at = bytesOf(bytes);
    const Byte* end = at + bytes.size();
    const Byte* bad = firstInvalid(at, end);
    if (bad == end)
        return;
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
