#include "textbox/text_boundaries.h"

#include "textbox/text_reader.h"

#include <algorithm>

namespace textbox {

namespace {

// A word move, a word delete or a double click looks this far from where it starts, so that a
// run of millions of "<" or of empty lines is taken a piece at a time, as fast as a word.
constexpr std::size_t MaxWordReach = 4096;

enum class WordClass { LineBreak, Space, Word, Other };

WordClass wordClass(char16_t c) {
    if (isLineBreak(c))
        return WordClass::LineBreak;
    if (QChar::isSpace(c))
        return WordClass::Space;
    if (QChar::isLetterOrNumber(c) || QChar::isMark(c) || QChar::isSurrogate(c) || c == u'_')
        return WordClass::Word;
    return WordClass::Other;
}

bool isGap(WordClass kind) {
    return kind == WordClass::LineBreak || kind == WordClass::Space;
}

} // namespace

TextBoundaries::TextBoundaries(const PieceText& text) : text_(text) {}

std::size_t TextBoundaries::boundaryFrom(std::size_t position) const {
    if (position == 0 || position >= text_.size())
        return std::min(position, text_.size());
    const char16_t c = text_.at(position);
    const char16_t before = text_.at(position - 1);
    if ((c == u'\n' && before == u'\r') ||
        (QChar::isLowSurrogate(c) && QChar::isHighSurrogate(before)))
        return position + 1;
    return position;
}

std::size_t TextBoundaries::nextCluster(std::size_t position) const {
    if (position >= text_.size())
        return text_.size();
    TextReader text(text_);
    return position + text.clusterLength(position);
}

std::size_t TextBoundaries::previousCharacter(std::size_t position) const {
    if (position == 0)
        return 0;
    TextReader text(text_);
    if (position >= 2 && text[position - 1] == u'\n' && text[position - 2] == u'\r')
        return position - 2;
    return text.codePointBefore(position);
}

std::size_t TextBoundaries::previousCluster(std::size_t position) const {
    if (position == 0)
        return 0;
    TextReader text(text_);
    return text.clusterStart(previousCharacter(position));
}

std::size_t TextBoundaries::nextWord(std::size_t position) const {
    TextReader text(text_);
    const std::size_t size = std::min(text_.size(), position + MaxWordReach);
    if (position < size) {
        const WordClass kind = wordClass(text[position]);
        if (!isGap(kind))
            while (position < size && wordClass(text[position]) == kind)
                ++position;
    }
    while (position < size && isGap(wordClass(text[position])))
        ++position;
    return boundaryFrom(position);
}

std::size_t TextBoundaries::previousWord(std::size_t position) const {
    TextReader text(text_);
    const std::size_t start = position > MaxWordReach ? position - MaxWordReach : 0;
    while (position > start && isGap(wordClass(text[position - 1])))
        --position;
    if (position > start) {
        const WordClass kind = wordClass(text[position - 1]);
        while (position > start && wordClass(text[position - 1]) == kind)
            --position;
    }
    return boundaryFrom(position);
}

std::size_t TextBoundaries::wordDeletedBefore(std::size_t position) const {
    if (position > 0 && isLineBreak(text_.at(position - 1)))
        return previousCharacter(position);
    return text_.findLineStart(position, previousWord(position));
}

std::size_t TextBoundaries::wordDeletedAfter(std::size_t position) const {
    if (position < text_.size() && isLineBreak(text_.at(position)))
        return nextCluster(position);
    return text_.findLineBreak(position, nextWord(position));
}

std::pair<std::size_t, std::size_t> TextBoundaries::wordAt(std::size_t position) const {
    TextReader text(text_);
    const std::size_t size = text_.size();
    // Past the end of a line, the word before.
    std::size_t at = position;
    if (at == size || isLineBreak(text[at])) {
        if (at == 0 || isLineBreak(text[at - 1]))
            return {position, position};
        --at;
    }
    const WordClass kind = wordClass(text[at]);
    const std::size_t first = at > MaxWordReach ? at - MaxWordReach : 0;
    const std::size_t last = std::min(size, at + MaxWordReach);
    std::size_t start = at;
    std::size_t end = at + 1;
    while (start > first && wordClass(text[start - 1]) == kind)
        --start;
    while (end < last && wordClass(text[end]) == kind)
        ++end;
    return {boundaryFrom(start), boundaryFrom(end)};
}

} // namespace textbox
