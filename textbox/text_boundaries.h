#pragma once

#include "textbox/piece_text.h"

#include <cstddef>
#include <utility>

namespace textbox {

// Where the caret may stand and what a step, a word move or a double click covers: clusters
// (a character with its combining marks, a CR LF, a surrogate pair) and words.
class TextBoundaries {
public:
    explicit TextBoundaries(const PieceText& text);

    // Caret positions: never inside a CR LF or a surrogate pair.
    std::size_t boundaryFrom(std::size_t position) const;
    std::size_t nextCluster(std::size_t position) const;
    std::size_t previousCluster(std::size_t position) const;
    // What Backspace removes: one character, a whole CR LF or surrogate pair.
    std::size_t previousCharacter(std::size_t position) const;
    std::size_t nextWord(std::size_t position) const;
    std::size_t previousWord(std::size_t position) const;
    // What Ctrl+Backspace and Ctrl+Delete remove, as in QPlainTextEdit: up to the word move's
    // end but not past a line break, or the one line break beside the caret.
    std::size_t wordDeletedBefore(std::size_t position) const;
    std::size_t wordDeletedAfter(std::size_t position) const;
    std::pair<std::size_t, std::size_t> wordAt(std::size_t position) const;

private:
    const PieceText& text_;
};

} // namespace textbox
