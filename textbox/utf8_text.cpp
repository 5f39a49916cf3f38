#include "textbox/utf8_text.h"

#include "textbox/line_breaks.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textbox {

namespace {

using Byte = unsigned char;

constexpr bool continues(Byte byte) {
    return (byte & 0xC0) == 0x80;
}

// A character starts at every byte that does not continue one, and takes two code units when
// it takes four bytes.
constexpr std::size_t unitsOf(Byte lead) {
    return lead >= 0xF0 ? 2 : 1;
}

// The code units of bytes[from, to), sixteen bytes at a time: each lane of `counts` adds one
// for a byte that starts a character and one more for a lead of four bytes, and the lanes are
// added up before they could overflow.
std::size_t countUnits(const Byte* bytes, std::size_t from, std::size_t to) {
    std::size_t units = 0;
    std::size_t i = from;
#if defined(__SSE2__)
    const auto sum = [](__m128i counts) {
        const __m128i halves = _mm_sad_epu8(counts, _mm_setzero_si128());
        return static_cast<std::size_t>(_mm_cvtsi128_si64(halves) +
                                        _mm_cvtsi128_si64(_mm_unpackhi_epi64(halves, halves)));
    };
    while (i + 16 <= to) {
        __m128i counts = _mm_setzero_si128();
        for (int block = 0; block < 127 && i + 16 <= to; ++block, i += 16) {
            const __m128i bytes16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            // Continuation bytes, 0x80 to 0xBF, are the signed bytes below -64.
            const __m128i starts = _mm_cmpgt_epi8(bytes16, _mm_set1_epi8(-65));
            const __m128i fourByteLeads = _mm_cmpgt_epi8(
                _mm_subs_epu8(bytes16, _mm_set1_epi8(char(0xEF))), _mm_setzero_si128());
            counts = _mm_sub_epi8(_mm_sub_epi8(counts, starts), fourByteLeads); // a match is -1
        }
        units += sum(counts);
    }
#endif
    for (; i < to; ++i)
        units += std::size_t(!continues(bytes[i])) + std::size_t(bytes[i] >= 0xF0);
    return units;
}

struct Character {
    char16_t units[2];
    std::size_t next; // where the next character starts
};

// The character whose first byte is at `at`; U+FFFD for each of its code units when its bytes
// are not a valid sequence.
Character characterAt(const Byte* bytes, std::size_t at, std::size_t size) {
    const Byte lead = bytes[at];
    std::size_t next = at + 1;
    while (next < size && continues(bytes[next]))
        ++next;
    const std::size_t length = lead < 0xC2   ? 0
                               : lead < 0xE0 ? 2
                               : lead < 0xF0 ? 3
                               : lead < 0xF5 ? 4
                                             : 0;
    char32_t c = 0xFFFD;
    if (length != 0 && next - at == length) {
        c = lead & (0x7F >> length);
        for (std::size_t i = at + 1; i < next; ++i)
            c = (c << 6) | (bytes[i] & 0x3F);
        constexpr char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < Least[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = 0xFFFD;
    }
    if (unitsOf(lead) == 1)
        return {{static_cast<char16_t>(c), 0}, next};
    if (c < 0x10000)
        return {{0xFFFD, 0xFFFD}, next};
    return {
        {static_cast<char16_t>(0xD7C0 + (c >> 10)), static_cast<char16_t>(0xDC00 | (c & 0x3FF))},
        next};
}

} // namespace

Utf8Text::Utf8Text(std::shared_ptr<const std::string> bytes)
    : bytes_(bytes ? std::move(bytes) : std::make_shared<const std::string>()) {
    const auto* data = reinterpret_cast<const Byte*>(bytes_->data());
    const std::size_t size = bytes_->size();
    unitsBefore_.reserve(size / Stride + 1);
    for (std::size_t from = 0; from <= size; from += Stride) {
        unitsBefore_.push_back(size_);
        size_ += countUnits(data, from, std::min(size, from + Stride));
    }
    if (plain())
        unitsBefore_ = {};
}

std::size_t Utf8Text::mark(std::size_t index) const {
    std::size_t byte = index * Stride;
    while (byte < bytes_->size() && continues(static_cast<Byte>((*bytes_)[byte])))
        ++byte;
    return byte;
}

Utf8Text::Place Utf8Text::placeOf(std::size_t position) const {
    if (plain())
        return {position, false};
    if (position >= size_)
        return {bytes_->size(), false};
    const auto* data = reinterpret_cast<const Byte*>(bytes_->data());
    const std::size_t index = static_cast<std::size_t>(
        std::upper_bound(unitsBefore_.begin(), unitsBefore_.end(), position) -
        unitsBefore_.begin() - 1);
    std::size_t byte = mark(index);
    std::size_t units = unitsBefore_[index];
    // A stride of ASCII alone is one byte a unit.
    if (index + 1 < unitsBefore_.size() &&
        unitsBefore_[index + 1] - units == mark(index + 1) - byte)
        return {byte + position - units, false};
    for (;;) {
        const std::size_t n = unitsOf(data[byte]);
        if (units + n > position)
            return {byte, position > units};
        units += n;
        do
            ++byte;
        while (byte < bytes_->size() && continues(data[byte]));
    }
}

std::size_t Utf8Text::positionOf(std::size_t byte) const {
    if (plain())
        return byte;
    if (byte >= bytes_->size())
        return size_;
    const std::size_t index = byte / Stride; // a character starting at `byte` is past the mark
    return unitsBefore_[index] +
           countUnits(reinterpret_cast<const Byte*>(bytes_->data()), mark(index), byte);
}

void Utf8Text::read(std::size_t position, std::size_t count, char16_t* out) const {
    const auto* data = reinterpret_cast<const Byte*>(bytes_->data());
    const std::size_t size = bytes_->size();
    const Place place = placeOf(position);
    std::size_t byte = place.byte;
    if (place.secondHalf && count > 0) {
        const Character c = characterAt(data, byte, size);
        *out++ = c.units[1];
        --count;
        byte = c.next;
    }
    while (count > 0) {
        if (data[byte] < 0x80) {
            *out++ = data[byte++];
            --count;
            continue;
        }
        const Character c = characterAt(data, byte, size);
        *out++ = c.units[0];
        --count;
        if (unitsOf(data[byte]) == 2 && count > 0) {
            *out++ = c.units[1];
            --count;
        }
        byte = c.next;
    }
}

char16_t Utf8Text::at(std::size_t position) const {
    char16_t c;
    read(position, 1, &c);
    return c;
}

std::size_t Utf8Text::findLineBreak(std::size_t from, std::size_t to) const {
    if (from >= to)
        return to;
    const std::size_t begin = placeOf(from).byte;
    const std::size_t end = placeOf(to).byte;
    const std::size_t found = firstLineBreak(bytes_->data() + begin, end - begin);
    return found == end - begin ? to : positionOf(begin + found);
}

std::size_t Utf8Text::findLineStart(std::size_t from, std::size_t to) const {
    if (from <= to)
        return to;
    const std::size_t begin = placeOf(to).byte;
    const std::size_t end = placeOf(from).byte;
    const std::size_t found = afterLastLineBreak(bytes_->data() + begin, end - begin);
    return found == 0 ? to : positionOf(begin + found);
}

} // namespace textbox
