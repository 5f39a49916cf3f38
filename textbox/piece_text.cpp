#include "textbox/piece_text.h"

#include "textbox/line_breaks.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace textbox {

namespace {

// Typing fills buffers of this many characters, so that a typed line is one piece.
constexpr std::size_t TypedBufferSize = 4096;

template <typename Pieces> std::size_t lengthOf(const Pieces& pieces) {
    std::size_t length = 0;
    for (const auto& piece : pieces)
        length += piece.length;
    return length;
}

} // namespace

PieceText::PieceText() {
    reset({}, 0);
}

void PieceText::reset(Buffer buffer, std::size_t length) {
    buffers_.clear();
    pieces_.clear();
    ends_.clear();
    undo_.clear();
    redo_.clear();
    typing_ = false;
    typed_ = nullptr;
    typedUsed_ = typedCapacity_ = 0;
    size_ = length;
    if (length == 0)
        return;
    buffers_.push_back(std::move(buffer));
    pieces_.push_back({0, 0, length});
    ends_.push_back(length);
}

void PieceText::setUtf8(std::shared_ptr<const std::string> bytes) {
    auto text = std::make_shared<const Utf8Text>(std::move(bytes));
    const Utf8Text* utf8 = text.get();
    reset({std::move(text), nullptr, utf8}, utf8->size());
}

void PieceText::setUtf16(std::u16string_view text, std::shared_ptr<const void> owner) {
    reset({std::move(owner), text.data(), nullptr}, text.size());
}

std::size_t PieceText::pieceAt(std::size_t position) const {
    return static_cast<std::size_t>(std::upper_bound(ends_.begin(), ends_.end(), position) -
                                    ends_.begin());
}

std::size_t PieceText::pieceStart(std::size_t index) const {
    return ends_[index] - pieces_[index].length;
}

char16_t PieceText::at(std::size_t position) const {
    const std::size_t index = pieceAt(position);
    const Piece& piece = pieces_[index];
    const Buffer& buffer = buffers_[piece.buffer];
    const std::size_t offset = piece.offset + position - pieceStart(index);
    return buffer.utf8 ? buffer.utf8->at(offset) : buffer.utf16[offset];
}

void PieceText::read(std::size_t position, std::size_t count, char16_t* out) const {
    for (std::size_t index = count ? pieceAt(position) : 0; count > 0; ++index) {
        const Piece& piece = pieces_[index];
        const Buffer& buffer = buffers_[piece.buffer];
        const std::size_t skip = position - pieceStart(index);
        const std::size_t n = std::min(count, piece.length - skip);
        const std::size_t offset = piece.offset + skip;
        if (buffer.utf8)
            buffer.utf8->read(offset, n, out);
        else
            std::memcpy(out, buffer.utf16 + offset, n * sizeof(char16_t));
        out += n;
        position += n;
        count -= n;
    }
}

// The pieces that hold [position, position + count).
PieceText::Pieces PieceText::piecesOf(std::size_t position, std::size_t count) const {
    Pieces pieces;
    for (std::size_t index = count ? pieceAt(position) : 0; count > 0; ++index) {
        Piece piece = pieces_[index];
        const std::size_t skip = position - pieceStart(index);
        piece.offset += skip;
        piece.length = std::min(count, piece.length - skip);
        pieces.push_back(piece);
        position += piece.length;
        count -= piece.length;
    }
    return pieces;
}

PieceText PieceText::part(std::size_t position, std::size_t count) const {
    PieceText part;
    part.buffers_ = buffers_;
    part.size_ = count;
    part.pieces_ = piecesOf(position, count);
    std::size_t end = 0;
    for (const Piece& piece : part.pieces_)
        part.ends_.push_back(end += piece.length);
    return part;
}

std::size_t PieceText::findLineBreak(std::size_t from, std::size_t to) const {
    for (std::size_t index = from < to ? pieceAt(from) : 0; from < to; ++index) {
        const Piece& piece = pieces_[index];
        const Buffer& buffer = buffers_[piece.buffer];
        const std::size_t offset = piece.offset + from - pieceStart(index);
        const std::size_t n = std::min(to, ends_[index]) - from;
        const std::size_t found = buffer.utf8
                                      ? buffer.utf8->findLineBreak(offset, offset + n) - offset
                                      : firstLineBreak(buffer.utf16 + offset, n);
        if (found < n)
            return from + found;
        from += n;
    }
    return to;
}

std::size_t PieceText::findLineStart(std::size_t from, std::size_t to) const {
    while (from > to) {
        const std::size_t index = pieceAt(from - 1);
        const Piece& piece = pieces_[index];
        const Buffer& buffer = buffers_[piece.buffer];
        const std::size_t begin = std::max(to, pieceStart(index));
        const std::size_t offset = piece.offset + begin - pieceStart(index);
        const std::size_t n = from - begin;
        const std::size_t found = buffer.utf8
                                      ? buffer.utf8->findLineStart(offset + n, offset) - offset
                                      : afterLastLineBreak(buffer.utf16 + offset, n);
        if (found > 0)
            return begin + found;
        from = begin;
    }
    return to;
}

std::size_t PieceText::split(std::size_t position) {
    if (position == size_)
        return pieces_.size();
    const std::size_t index = pieceAt(position);
    const std::size_t start = pieceStart(index);
    if (start == position)
        return index;
    Piece right = pieces_[index];
    const std::size_t leftLength = position - start;
    right.offset += leftLength;
    right.length -= leftLength;
    pieces_[index].length = leftLength;
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(index) + 1, right);
    ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(index), position);
    return index + 1;
}

// Joins the piece at `index` to the one before when they are adjacent parts of one buffer, which
// keeps a typed line, or a page put back together by an undo, one piece.
void PieceText::joinAt(std::size_t index) {
    if (index == 0 || index >= pieces_.size())
        return;
    Piece& before = pieces_[index - 1];
    const Piece& piece = pieces_[index];
    if (before.buffer != piece.buffer || before.offset + before.length != piece.offset)
        return;
    before.length += piece.length;
    pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(index));
    ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(index) - 1);
}

PieceText::Pieces PieceText::splice(std::size_t position, std::size_t count,
                                    const Pieces& inserted) {
    const std::size_t first = split(position);
    const std::size_t last = split(position + count);
    const auto firstAt = pieces_.begin() + static_cast<std::ptrdiff_t>(first);
    Pieces removed(firstAt, pieces_.begin() + static_cast<std::ptrdiff_t>(last));
    pieces_.erase(firstAt, pieces_.begin() + static_cast<std::ptrdiff_t>(last));
    pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(first), inserted.begin(),
                   inserted.end());
    ends_.resize(pieces_.size());
    std::size_t end = first > 0 ? ends_[first - 1] : 0;
    for (std::size_t index = first; index < pieces_.size(); ++index)
        ends_[index] = end += pieces_[index].length;
    size_ = end;
    joinAt(first + inserted.size());
    joinAt(first);
    return removed;
}

Change PieceText::record(std::size_t position, std::size_t count, Pieces inserted) {
    const std::size_t length = lengthOf(inserted);
    Pieces removed = splice(position, count, inserted);
    undo_.push_back({position, std::move(removed), std::move(inserted)});
    redo_.clear();
    return {position, count, length};
}

Change PieceText::replace(std::size_t position, std::size_t count, std::u16string_view text,
                          std::shared_ptr<const void> owner) {
    typing_ = false;
    Pieces inserted;
    if (!text.empty()) {
        buffers_.push_back({std::move(owner), text.data(), nullptr});
        inserted.push_back({static_cast<std::uint32_t>(buffers_.size() - 1), 0, text.size()});
    }
    return record(position, count, std::move(inserted));
}

PieceText::Piece PieceText::copyTyped(std::u16string_view text) {
    if (typedCapacity_ - typedUsed_ < text.size()) {
        auto buffer =
            std::make_shared<std::vector<char16_t>>(std::max(TypedBufferSize, text.size()));
        typed_ = buffer->data();
        typedCapacity_ = buffer->size();
        typedUsed_ = 0;
        buffers_.push_back({std::move(buffer), typed_, nullptr});
        typedBuffer_ = static_cast<std::uint32_t>(buffers_.size() - 1);
    }
    std::copy(text.begin(), text.end(), typed_ + typedUsed_);
    const Piece piece{typedBuffer_, typedUsed_, text.size()};
    typedUsed_ += text.size();
    return piece;
}

Change PieceText::type(std::size_t position, std::size_t count, std::u16string_view text) {
    if (text.empty())
        return replace(position, count, text, nullptr);
    const Piece piece = copyTyped(text);
    if (typing_ && count == 0) {
        Step& last = undo_.back();
        if (last.position + lengthOf(last.inserted) == position) {
            splice(position, 0, {piece});
            Piece& end = last.inserted.back();
            if (end.buffer == piece.buffer && end.offset + end.length == piece.offset)
                end.length += piece.length;
            else
                last.inserted.push_back(piece);
            return {position, 0, text.size()};
        }
    }
    const Change change = record(position, count, {piece});
    typing_ = true;
    return change;
}

Change PieceText::move(std::size_t from, std::size_t count, std::size_t to) {
    typing_ = false;
    Pieces moved = piecesOf(from, count);
    if (to < from) { // the characters between go after the moved ones
        Pieces between = piecesOf(to, from - to);
        moved.insert(moved.end(), between.begin(), between.end());
        return record(to, from + count - to, std::move(moved));
    }
    Pieces between = piecesOf(from + count, to - from - count);
    between.insert(between.end(), moved.begin(), moved.end());
    return record(from, to - from, std::move(between));
}

Change PieceText::undo() {
    typing_ = false;
    if (undo_.empty())
        return {};
    Step step = std::move(undo_.back());
    undo_.pop_back();
    const Change change{step.position, lengthOf(step.inserted), lengthOf(step.removed)};
    splice(step.position, change.removed, step.removed);
    redo_.push_back(std::move(step));
    return change;
}

Change PieceText::redo() {
    typing_ = false;
    if (redo_.empty())
        return {};
    Step step = std::move(redo_.back());
    redo_.pop_back();
    const Change change{step.position, lengthOf(step.removed), lengthOf(step.inserted)};
    splice(step.position, change.removed, step.inserted);
    undo_.push_back(std::move(step));
    return change;
}

} // namespace textbox
