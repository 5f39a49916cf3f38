#include "latin1.h"
#include "page_text.h"

#include <gtest/gtest.h>

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
