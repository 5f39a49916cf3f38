#pragma once

#include "textbox/piece_text.h"

#include <QChar>

#include <algorithm>
#include <array>

namespace textbox {

// A character and the combining marks after it draw as one cluster of about this many code
// units at most. A longer run of marks goes on in clusters that end at multiples of this many
// code units from the text's start, so that where a cluster starts is told from a few
// characters before it, however long the run.
constexpr std::size_t MaxCluster = 32;

inline bool isLineBreak(char16_t c) {
    return c == u'\r' || c == u'\n';
}

inline bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// The text read a block at a time, for the loops that go character by character.
class TextReader {
public:
    explicit TextReader(const PieceText& text) : text_(text) {}

    std::size_t size() const { return text_.size(); }

    char16_t operator[](std::size_t position) {
        if (position - start_ >= length_)
            fill(position);
        return buffer_[position - start_];
    }

    // The characters read from `position` on: at least one, and `available` in all.
    const char16_t* span(std::size_t position, std::size_t& available) {
        (*this)[position];
        available = length_ - (position - start_);
        return buffer_.data() + (position - start_);
    }

    char32_t codePointAt(std::size_t position, std::size_t& length) {
        const char16_t c = (*this)[position];
        if (QChar::isHighSurrogate(c) && position + 1 < size()) {
            const char16_t low = (*this)[position + 1];
            if (QChar::isLowSurrogate(low)) {
                length = 2;
                return QChar::surrogateToUcs4(c, low);
            }
        }
        length = 1;
        return c;
    }

    std::size_t codePointBefore(std::size_t position) {
        if (position >= 2 && QChar::isLowSurrogate((*this)[position - 1]) &&
            QChar::isHighSurrogate((*this)[position - 2]))
            return position - 2;
        return position - 1;
    }

    // A character with the combining marks after it; a CR LF.
    std::size_t clusterLength(std::size_t position) {
        const char16_t c = (*this)[position];
        if (c == u'\r')
            return position + 1 < size() && (*this)[position + 1] == u'\n' ? 2 : 1;
        if (c == u'\n' || c == u'\t' || isControl(c))
            return 1;
        if (!continuesCluster(position))
            return leadingClusterLength(position);
        // In a run of marks: the rest of the leading cluster, or up to the next multiple.
        const std::size_t lead = runStart(position);
        if (lead != None && position < lead + leadingClusterLength(lead))
            return lead + leadingClusterLength(lead) - position;
        const std::size_t end = runPart((position / MaxCluster + 1) * MaxCluster);
        std::size_t length = 0;
        while (position + length < end && position + length < size() &&
               continuesCluster(position + length)) {
            std::size_t markLength = 0;
            codePointAt(position + length, markLength);
            length += markLength;
        }
        return length;
    }

    // The start of the cluster that holds `position`.
    std::size_t clusterStart(std::size_t position) {
        if (position >= size())
            return size();
        if (position > 0) {
            const char16_t c = (*this)[position];
            const char16_t before = (*this)[position - 1];
            if ((c == u'\n' && before == u'\r') ||
                (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(before)))
                --position;
        }
        if (!continuesCluster(position))
            return position;
        const std::size_t lead = runStart(position);
        const std::size_t leadEnd = lead == None ? 0 : lead + leadingClusterLength(lead);
        if (lead != None && position < leadEnd)
            return lead;
        return std::max(leadEnd, runPart(position / MaxCluster * MaxCluster));
    }

private:
    static constexpr std::size_t Block = 512;

    static constexpr std::size_t None = static_cast<std::size_t>(-1);

    // Whether the code point at `position` is a mark that joins the cluster before it.
    bool continuesCluster(std::size_t position) {
        if (position == 0 || (*this)[position] < 0x300)
            return false;
        std::size_t length = 0;
        if (!QChar::isMark(codePointAt(position, length)))
            return false;
        const char16_t before = (*this)[position - 1];
        return !isLineBreak(before) && before != u'\t' && !isControl(before);
    }

    // A character with the marks after it, up to MaxCluster code units.
    std::size_t leadingClusterLength(std::size_t position) {
        std::size_t length = 0;
        codePointAt(position, length);
        while (position + length < size() && length < MaxCluster &&
               continuesCluster(position + length)) {
            std::size_t markLength = 0;
            codePointAt(position + length, markLength);
            length += markLength;
        }
        return length;
    }

    // The character that a run of marks holding `position` follows, when it lies less than
    // two clusters back; beyond that, its leading cluster ends before the cluster of `position`.
    std::size_t runStart(std::size_t position) {
        std::size_t from = position;
        while (position - from <= 2 * MaxCluster + 2) {
            if (!continuesCluster(from))
                return from;
            from = codePointBefore(from);
        }
        return None;
    }

    // A multiple of MaxCluster where a cluster in a run of marks may start: moved on past the
    // low half of a surrogate pair.
    std::size_t runPart(std::size_t multiple) {
        return multiple > 0 && multiple < size() && QChar::isLowSurrogate((*this)[multiple]) &&
                       QChar::isHighSurrogate((*this)[multiple - 1])
                   ? multiple + 1
                   : multiple;
    }

    void fill(std::size_t position) {
        // Reading goes mostly forward; a step back reads the block that ends there.
        start_ = position < start_ ? (position + 1 > Block ? position + 1 - Block : 0) : position;
        length_ = std::min(Block, text_.size() - start_);
        text_.read(start_, length_, buffer_.data());
    }

    const PieceText& text_;
    std::size_t start_ = 0;
    std::size_t length_ = 0;
    std::array<char16_t, Block> buffer_;
};

} // namespace textbox
