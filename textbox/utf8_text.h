#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace textbox {

// A text in UTF-8 read as the UTF-16 code units a box counts and draws, without a UTF-16 copy:
// where every 1,024th byte stands in UTF-16 is noted once, so that any position is found by
// decoding at most that many bytes. Bytes that are not valid UTF-8 read as U+FFFD, never past
// the text.
class Utf8Text {
public:
    explicit Utf8Text(std::shared_ptr<const std::string> bytes);

    std::size_t size() const { return size_; } // in UTF-16 code units
    char16_t at(std::size_t position) const;
    // Writes the `count` code units from `position` on, all within the text, to `out`.
    void read(std::size_t position, std::size_t count, char16_t* out) const;
    // The first CR or LF in [from, to), or `to`.
    std::size_t findLineBreak(std::size_t from, std::size_t to) const;
    // The position after the last CR or LF in [to, from), or `to`.
    std::size_t findLineStart(std::size_t from, std::size_t to) const;

private:
    static constexpr std::size_t Stride = 1024;

    struct Place {
        std::size_t byte;
        bool secondHalf; // inside a character that takes two code units, after its first
    };
    Place placeOf(std::size_t position) const;
    std::size_t positionOf(std::size_t byte) const;
    std::size_t mark(std::size_t index) const; // the byte where the index-th stride's count starts
    bool plain() const { return size_ == bytes_->size(); } // all ASCII: one byte, one unit

    std::shared_ptr<const std::string> bytes_;
    std::size_t size_ = 0;
    // For each stride of bytes, the code units before the first character that starts in it.
    std::vector<std::size_t> unitsBefore_;
};

} // namespace textbox
