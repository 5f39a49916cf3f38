#include "latin1.h"
#include "page_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::u16string pageText(std::string_view bytes) {
    std::u16string text(load::pageTextLength(bytes), u'?');
    load::decodePage(bytes, text.data());
    return text;
}

} // namespace

TEST(PageText, EveryLineEndsWithOneCrLf) {
    struct {
        const char* name;
        std::string bytes;
        std::u16string text;
    } const cases[] = {
        {"empty file", "", u""},
        {"no final line end", "a\r\nb", u"a\r\nb\r\n"},
        {"final CR LF adds no line", "a\r\nb\r\n", u"a\r\nb\r\n"},
        {"LF only", "a\nb\n", u"a\r\nb\r\n"},
        {"lone CRs", "a\rb\r", u"a\r\nb\r\n"},
        {"mixed", "a\r\n\nb\rc", u"a\r\n\r\nb\r\nc\r\n"},
        {"one empty line", "\n", u"\r\n"},
        {"CR then CR LF", "\r\r\n", u"\r\n\r\n"},
        {"LF then CR is two line ends", "\n\r", u"\r\n\r\n"},
        {"one NUL", std::string(1, '\0'), std::u16string(1, u'\0') + u"\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pageText(c.bytes), c.text);
    }
}

TEST(PageText, EachByteIsOneWindows1252Character) {
    EXPECT_EQ(pageText("\x80\x81\x8D\x8F\x90\x9D\x9F\x99"),
              u"\u20AC\u0081\u008D\u008F\u0090\u009D\u0178\u2122\r\n");
    EXPECT_EQ(pageText("\xC2\xA9"), u"\u00C2\u00A9\r\n"); // UTF-8 copyright sign
    EXPECT_EQ(pageText("\xA0\xFF"), u"\u00A0\u00FF\r\n");
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        if (byte != '\r' && byte != '\n')
            all.push_back(static_cast<char>(byte));
    EXPECT_EQ(pageText(all).size(), all.size() + 2);
}

// The page text as the rule says it, one byte at a time, beside the fast decoder on pages long
// enough for its sixteen-byte steps, with line ends and special bytes at every offset.
TEST(PageText, LongPagesDecodeAsByteByByte) {
    const auto reference = [](std::string_view bytes) {
        std::u16string text;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\r' || bytes[i] == '\n') {
                if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    ++i;
                text += u"\r\n";
            } else {
                text += pageText(bytes.substr(i, 1)).substr(0, 1);
            }
        }
        if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n')
            text += u"\r\n";
        return text;
    };
    const char alphabet[] = {'a', 'b', 'Z', '\r', '\n', '\x80', '\x9F', '\xA0', '\xFF', '\0'};
    std::uint32_t random = 1;
    for (std::size_t length = 0; length < 300; ++length) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i) {
            random = random * 1103515245 + 12345;
            // Mostly plain letters, so that whole sixteen-byte steps occur.
            const std::uint32_t pick = (random >> 16) % 40;
            bytes += pick < std::size(alphabet) ? alphabet[pick] : 'x';
        }
        SCOPED_TRACE(length);
        EXPECT_EQ(pageText(bytes), reference(bytes));
    }
}
