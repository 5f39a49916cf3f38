#pragma once

#include "textbox/piece_text.h"

#include <QChar>

#include <algorithm>
#include <array>

namespace textbox {

// A character and the combining marks after it draw as one cluster of about this many code
// units at most; a longer run of marks goes on in clusters of its own.
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
        std::size_t length = 0;
        codePointAt(position, length);
        while (position + length < size() && length < MaxCluster &&
               (*this)[position + length] >= 0x300) {
            std::size_t markLength = 0;
            if (!QChar::isMark(codePointAt(position + length, markLength)))
                break;
            length += markLength;
        }
        return length;
    }

    // The start of the cluster that holds `position`. Clusters in a run of combining marks are
    // counted from the character before the run, however far back it lies, so that a step back
    // stops where a step forward does.
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
        std::size_t from = position;
        while (from > 0 && continuesCluster(from))
            from = codePointBefore(from);
        for (;;) {
            const std::size_t next = from + clusterLength(from);
            if (next > position)
                return from;
            from = next;
        }
    }

private:
    static constexpr std::size_t Block = 512;

    // Whether the code point at `position` is a mark that joins the cluster before it.
    bool continuesCluster(std::size_t position) {
        if ((*this)[position] < 0x300)
            return false;
        std::size_t length = 0;
        if (!QChar::isMark(codePointAt(position, length)))
            return false;
        const char16_t before = (*this)[position - 1];
        return !isLineBreak(before) && before != u'\t' && !isControl(before);
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
