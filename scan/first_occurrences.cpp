#include "scan/first_occurrences.h"

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace scan {

namespace {

// Every search text of the pass begins with "<title>" or holds the name text, which both orders
// of a meta tag have: after "<meta" in the name-first order, before the ending in the other.
constexpr Text Title = "<title>";
constexpr Text NameText = " name=\"";
constexpr Text NameFirstBefore = "<meta";
constexpr Text NameFirstAfter = "\" content=";
constexpr std::array<Text, 3> ContentFirstEndings = {"\">", "\"/>", "\" />"};

// What the pass has found so far.
class Pass {
public:
    explicit Pass(Text page) : page_(page) {}

    // Records what starts at `at`, where "<title>" or the name text may stand; true once
    // everything that can matter is found.
    bool lookAt(Pos at) {
        if (first_.title == 0 && holds(page_, at, Title)) {
            first_.title = at;
            return --left_ == 0;
        }
        if (!holds(page_, at, NameText))
            return false;
        const Pos word = at + static_cast<Pos>(NameText.size());
        const Pos metaStart = at - static_cast<Pos>(NameFirstBefore.size());
        for (std::size_t tag = 0; tag < MetaWords.size(); ++tag) {
            if (first_.nameFirst[tag] != 0 || !holds(page_, word, MetaWords[tag]))
                continue;
            const Pos after = word + static_cast<Pos>(MetaWords[tag].size());
            if (holds(page_, metaStart, NameFirstBefore) && holds(page_, after, NameFirstAfter)) {
                first_.nameFirst[tag] = metaStart;
                return --left_ == 0;
            }
            if (tag >= EitherOrderTags)
                continue;
            for (std::size_t ending = 0; ending < ContentFirstEndings.size(); ++ending)
                if (tries_[tag][ending] == 0 && holds(page_, after, ContentFirstEndings[ending]))
                    tries_[tag][ending] = at;
        }
        return false;
    }

    FirstOccurrences result() const {
        FirstOccurrences first = first_;
        for (std::size_t tag = 0; tag < EitherOrderTags; ++tag)
            for (const Pos tried : tries_[tag]) // in the order of the endings
                if (tried != 0) {
                    first.contentFirst[tag] = tried;
                    break;
                }
        return first;
    }

private:
    Text page_;
    FirstOccurrences first_;
    // Where each content-first ending first occurs, for a tag whose name-first text has not.
    std::array<std::array<Pos, 3>, EitherOrderTags> tries_{};
    std::size_t left_ = 1 + MetaWords.size(); // the title and the name-first texts
};

#if defined(__SSE2__)
// Thirty-two positions at a time, bit i for the position i on: set where "<title>" or the name
// text may start. Both hold a T or an N of either case second, and six on the character two
// above their first: "<" and ">", a space and a quote. The test takes a few more characters
// in either place, those with the bits it leaves out, and the look at each candidate turns them
// away; few places in a page are candidates.
class Candidates {
public:
    static constexpr std::size_t Reach = 32 + 6; // how far past its first position a test reads

    std::uint32_t at(const char* positions) const {
        return half(positions) | half(positions + 16) << 16;
    }

private:
    static __m128i load(const char* from) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    }

    std::uint32_t half(const char* positions) const {
        const __m128i first = load(positions);
        const __m128i paired = _mm_cmpeq_epi8(load(positions + 6), _mm_add_epi8(first, two_));
        const __m128i opening = _mm_cmpeq_epi8(_mm_or_si128(first, openingBits_), lt_);
        const __m128i letter =
            _mm_cmpeq_epi8(_mm_or_si128(load(positions + 1), letterBits_), letters_);
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(_mm_and_si128(paired, opening), letter)));
    }

    // "<" and " " differ only in bits of 0x1C, "t", "n", "T" and "N" in bits of 0x3A.
    __m128i two_ = _mm_set1_epi8(2), openingBits_ = _mm_set1_epi8(0x1C), lt_ = _mm_set1_epi8('<'),
            letterBits_ = _mm_set1_epi8(0x3A), letters_ = _mm_set1_epi8('t' | 0x3A);
};

struct Block {
    std::size_t at; // 0-based
    std::uint32_t candidates;
};

// From `at` on, the first thirty-two positions with a candidate among them; or, with none, where
// the rest of the page is too short for the test.
Block nextBlock(Text page, std::size_t at) {
    const Candidates candidates;
    for (; at + Candidates::Reach <= page.size(); at += 32)
        if (const std::uint32_t bits = candidates.at(page.data() + at); bits != 0)
            return {at, bits};
    return {at, 0};
}
#endif

} // namespace

FirstOccurrences findFirstOccurrences(Text page) {
    Pass pass(page);
    std::size_t at = 0; // 0-based
#if defined(__SSE2__)
    for (;;) {
        const Block block = nextBlock(page, at);
        at = block.at;
        if (block.candidates == 0)
            break;
        for (std::uint32_t bits = block.candidates; bits != 0; bits &= bits - 1)
            if (pass.lookAt(static_cast<Pos>(at) + std::countr_zero(bits) + 1))
                return pass.result();
        at += 32;
    }
#endif
    for (; at < page.size(); ++at) // the positions too near the end for the test
        if (pass.lookAt(static_cast<Pos>(at) + 1))
            break;
    return pass.result();
}

} // namespace scan
