#include "load/page_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::string pageText(std::string bytes) {
    load::makePageText(bytes);
    return bytes;
}

// The rule as it reads, one byte at a time.
std::string byByte(std::string_view bytes) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            text += "\r\n";
        } else {
            text += bytes[i];
        }
    }
    if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n')
        text += "\r\n";
    return text;
}

} // namespace

TEST(PageText, EveryLineEndsWithOneCrLf) {
    struct {
        const char* name;
        std::string bytes, text;
    } const cases[] = {
        {"empty file", "", ""},
        {"no final line end", "a\r\nb", "a\r\nb\r\n"},
        {"final CR LF adds no line", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"LF only", "a\nb\n", "a\r\nb\r\n"},
        {"lone CRs", "a\rb\r", "a\r\nb\r\n"},
        {"mixed", "a\r\n\nb\rc", "a\r\n\r\nb\r\nc\r\n"},
        {"one empty line", "\n", "\r\n"},
        {"CR then CR LF", "\r\r\n", "\r\n\r\n"},
        {"LF then CR is two line ends", "\n\r", "\r\n\r\n"},
        {"one NUL", std::string(1, '\0'), std::string(1, '\0') + "\r\n"},
        {"bytes stay as they are", "\x80\xC2\xA9\xFF", "\x80\xC2\xA9\xFF\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pageText(c.bytes), c.text);
    }
}

// The page text made in place, many bytes at a time, beside the rule one byte at a time, on
// pages long enough for the sixteen-byte steps, with line ends at every offset.
TEST(PageText, LongPagesAsByteByByte) {
    const char alphabet[] = {'a', 'b', 'Z', '\r', '\n', '\x80', '\xFF', '\0'};
    std::uint32_t random = 1;
    for (std::size_t length = 0; length < 400; ++length) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i) {
            random = random * 1103515245 + 12345;
            // Mostly plain letters, so that whole sixteen-byte steps occur.
            const std::uint32_t pick = (random >> 16) % 40;
            bytes += pick < std::size(alphabet) ? alphabet[pick] : 'x';
        }
        SCOPED_TRACE(length);
        EXPECT_EQ(pageText(bytes), byByte(bytes));
    }
}
