#pragma once

#include "textbox/utf8_text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace textbox {

// What an edit, an undo or a redo did: at `position`, `removed` characters gave way to
// `inserted` ones.
struct Change {
    std::size_t position = 0;
    std::size_t removed = 0;
    std::size_t inserted = 0;
};

// The text of a text box as pieces of buffers that never change once written: a page's UTF-8
// as it was read, text set or pasted as it was given, and what was typed. An edit changes only the
// list of pieces, so it costs the same on a page of 100 MB as on a line; an undo step keeps the
// pieces it took out, not their characters. Every character is kept as written: CR, LF, CR LF and
// NUL alike.
class PieceText {
public:
    PieceText();

    // Shows this UTF-8 text without copying it.
    void setUtf8(std::shared_ptr<const std::string> bytes);
    // Shows this text without copying it; `owner` keeps it alive.
    void setUtf16(std::u16string_view text, std::shared_ptr<const void> owner);

    std::size_t size() const { return size_; }
    char16_t at(std::size_t position) const;
    // Writes the `count` characters from `position` on, all within the text, to `out`.
    void read(std::size_t position, std::size_t count, char16_t* out) const;

    // The characters [position, position + count) as a text of their own, without their undo
    // history: it shares the buffers, so it costs a copy of some pieces, and later edits here
    // leave it as it was.
    PieceText part(std::size_t position, std::size_t count) const;

    // The first CR or LF in [from, to), or `to` when there is none.
    std::size_t findLineBreak(std::size_t from, std::size_t to) const;
    // The position after the last CR or LF in [to, from), or `to` when there is none.
    std::size_t findLineStart(std::size_t from, std::size_t to) const;

    // Replaces `count` characters at `position` by `text`, kept alive by `owner` and not copied.
    Change replace(std::size_t position, std::size_t count, std::u16string_view text,
                   std::shared_ptr<const void> owner);
    // The same for typed text, which is copied; typing just after the last typing joins its undo
    // step until endTyping().
    Change type(std::size_t position, std::size_t count, std::u16string_view text);
    void endTyping() { typing_ = false; }
    // Moves the `count` characters at `from` to `to`, a position outside them, as one undo step
    // that copies no characters.
    Change move(std::size_t from, std::size_t count, std::size_t to);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    Change undo();
    Change redo();

private:
    struct Buffer {
        std::shared_ptr<const void> owner;
        const char16_t* utf16 = nullptr; // UTF-16, or
        const Utf8Text* utf8 = nullptr;  // UTF-8
    };
    struct Piece {
        std::uint32_t buffer;
        std::size_t offset;
        std::size_t length;
    };
    using Pieces = std::vector<Piece>;
    struct Step {
        std::size_t position;
        Pieces removed;
        Pieces inserted;
    };

    void reset(Buffer buffer, std::size_t length);
    std::size_t pieceAt(std::size_t position) const;
    std::size_t pieceStart(std::size_t index) const;
    Pieces piecesOf(std::size_t position, std::size_t count) const;
    std::size_t split(std::size_t position);
    void joinAt(std::size_t index);
    Pieces splice(std::size_t position, std::size_t count, const Pieces& inserted);
    Change record(std::size_t position, std::size_t count, Pieces inserted);
    Piece copyTyped(std::u16string_view text);

    std::vector<Buffer> buffers_;
    Pieces pieces_;
    std::vector<std::size_t> ends_; // where each piece ends in the text
    std::size_t size_ = 0;
    std::vector<Step> undo_, redo_;
    bool typing_ = false;
    char16_t* typed_ = nullptr; // the buffer typing appends to, and how full it is
    std::uint32_t typedBuffer_ = 0;
    std::size_t typedUsed_ = 0;
    std::size_t typedCapacity_ = 0;
};

} // namespace textbox
