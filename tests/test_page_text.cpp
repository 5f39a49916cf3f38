#include "load/page_file.h"
#include "load/prescan.h"
#include "load/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

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

// ---- How a page file's bytes are read ----

namespace {

using load::Because;
using load::Encoding;

struct Read {
    std::string text; // the page text without the CR LF of its last line
    load::Reading reading;
};

Read read(std::string bytes) {
    const std::optional<load::Reading> reading = load::makePageTextOfFile(bytes);
    if (!reading)
        return {"<cannot decode>", {}};
    if (bytes.ends_with("\r\n"))
        bytes.resize(bytes.size() - 2);
    return {bytes, *reading};
}

} // namespace

// Labels as the Encoding Standard's table has them: ASCII whitespace around them and letter
// case aside.
TEST(Encodings, Labels) {
    struct {
        std::string_view label;
        std::optional<Encoding> encoding;
    } const cases[] = {
        {"utf-8", Encoding::Utf8},
        {" UTF8\t\n", Encoding::Utf8},
        {"unicode-1-1-utf-8", Encoding::Utf8},
        {"latin1", Encoding::Windows1252},
        {"ISO-8859-1", Encoding::Windows1252},
        {"us-ascii", Encoding::Windows1252},
        {"iso-8859-9", Encoding::Windows1254},
        {"tis-620", Encoding::Windows874},
        {"gb2312", Encoding::Gbk},
        {"GB18030", Encoding::Gb18030},
        {"big5-hkscs", Encoding::Big5},
        {"x-sjis", Encoding::ShiftJis},
        {"windows-31j", Encoding::ShiftJis},
        {"ks_c_5601-1987", Encoding::EucKr},
        {"koi8-ru", Encoding::Koi8U},
        {"logical", Encoding::Iso8859_8I},
        {"utf-16", Encoding::Utf16Le},
        {"unicodefffe", Encoding::Utf16Be},
        {"x-user-defined", Encoding::XUserDefined},
        {"iso-2022-kr", Encoding::Replacement},
        {"utf-7", std::nullopt},
        {"latin-1", std::nullopt},
        {"utf 8", std::nullopt},
        {"", std::nullopt},
        {"\xC2\xA0utf-8", std::nullopt}, // a no-break space is not ASCII whitespace
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(load::encodingOfLabel(c.label), c.encoding);
    }
}

// The prescan of a browser over the first 1,024 bytes.
TEST(Encodings, Prescan) {
    const std::string filler(1024, ' ');
    struct {
        const char* name;
        std::string bytes;
        std::optional<Encoding> encoding;
    } const cases[] = {
        {"charset", "<meta charset=\"windows-1251\">", Encoding::Windows1251},
        {"charset in capitals", "<META CHARSET=KOI8-R>", Encoding::Koi8R},
        {"single quotes", "<meta charset='euc-jp'>", Encoding::EucJp},
        {"no quotes, then other attributes", "<meta charset=gbk name=x>", Encoding::Gbk},
        {"spaces around =", "<meta charset = \"big5\" >", Encoding::Big5},
        {"after a slash", "<meta/charset=shift_jis>", Encoding::ShiftJis},
        {"http-equiv, then content",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-2\">",
         Encoding::Iso8859_2},
        {"content, then http-equiv",
         "<meta content=\"text/html;charset=ISO-8859-7\" http-equiv=content-type>",
         Encoding::Iso8859_7},
        {"a quoted label in content",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset='euc-kr'\">",
         Encoding::EucKr},
        {"content without http-equiv", "<meta content=\"text/html; charset=koi8-r\">",
         std::nullopt},
        {"http-equiv without content", "<meta http-equiv=\"Content-Type\">", std::nullopt},
        {"charset wins over content in one tag",
         "<meta content=\"text/html; charset=koi8-r\" http-equiv=Content-Type charset=koi8-u>",
         Encoding::Koi8U},
        {"the first of an attribute twice", "<meta charset=koi8-r charset=utf-8>", Encoding::Koi8R},
        {"an unknown label is no declaration", "<meta charset=klingon><meta charset=ibm866>",
         Encoding::Ibm866},
        {"after other tags", "<!DOCTYPE html><html lang=en><head><meta charset=windows-1256>",
         Encoding::Windows1256},
        {"inside a comment", "<!-- <meta charset=koi8-r> --><p>", std::nullopt},
        {"after a comment", "<!--x--><meta charset=koi8-r>", Encoding::Koi8R},
        {"after the shortest comment", "<!--><meta charset=koi8-r>", Encoding::Koi8R},
        {"inside another tag's attribute", "<a title=\"<meta charset=koi8-r>\">", std::nullopt},
        {"inside a processing instruction", "<?php <meta charset=koi8-r> ?>", std::nullopt},
        {"a tag named metadata", "<metadata charset=koi8-r>", std::nullopt},
        {"after 1,024 bytes", filler + "<meta charset=koi8-r>", std::nullopt},
        {"cut by the 1,024th byte", filler.substr(0, 1010) + "<meta charset=koi8-r>", std::nullopt},
        {"within 1,024 bytes", filler.substr(0, 1000) + "<meta charset=koi8-r >", Encoding::Koi8R},
        {"a declared UTF-16 is read as UTF-8", "<meta charset=utf-16>", Encoding::Utf8},
        {"x-user-defined is read as windows-1252", "<meta charset=x-user-defined>",
         Encoding::Windows1252},
        {"an XML declaration", "<?xml version=\"1.0\" encoding=\"windows-1250\"?><p>",
         Encoding::Windows1250},
        {"a meta wins over an XML declaration",
         "<?xml version=\"1.0\" encoding=\"windows-1250\"?><meta charset=koi8-r>", Encoding::Koi8R},
        {"UTF-16 little-endian by its XML declaration", std::string("<\0?\0x\0m\0l\0", 10),
         Encoding::Utf16Le},
        {"UTF-16 big-endian by its XML declaration", std::string("\0<\0?\0x\0m\0l", 10),
         Encoding::Utf16Be},
        {"nothing", "<html><head><title>x</title>", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(load::prescanEncoding(c.bytes), c.encoding);
    }
}

// Every encoding decoded as a browser decodes it, each sequence it does not hold one U+FFFD.
TEST(Encodings, Decoding) {
    struct {
        const char* name;
        std::string bytes;
        std::string text;
        load::Reading reading;
    } const cases[] = {
        {"UTF-8, valid",
         "caf\xC3\xA9 \xF0\x9F\x8D\x9E",
         "caf\xC3\xA9 \xF0\x9F\x8D\x9E",
         {Encoding::Utf8, Because::ValidUtf8}},
        {"ASCII is valid UTF-8", "plain", "plain", {Encoding::Utf8, Because::ValidUtf8}},
        {"UTF-8 by its byte order mark",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9",
         "caf\xC3\xA9",
         {Encoding::Utf8, Because::ByteOrderMark}},
        {"UTF-8 declared, sequences cut short",
         "<meta charset=utf-8>\xF0\x80\x80|\xE2\x82"
         "A|\xED\xA0\x80|\xC0\xAF|\xF4\x90\x80\x80|\xFF",
         "<meta charset=utf-8>\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD"
         "A|"
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|"
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD",
         {Encoding::Utf8, Because::Declared}},
        {"UTF-8 by its byte order mark, cut at the end",
         "\xEF\xBB\xBF"
         "a\xE6\x97",
         "a\xEF\xBF\xBD",
         {Encoding::Utf8, Because::ByteOrderMark}},
        {"not UTF-8, nothing declared",
         "caf\xE9 \x80\x81\x9F",
         "caf\xC3\xA9 \xE2\x82\xAC\xC2\x81\xC5\xB8",
         {Encoding::Windows1252, Because::NothingDeclared}},
        {"UTF-16LE by its byte order mark",
         std::string("\xFF\xFE"
                     "A\0\x3C\xD8\x5E\xDF",
                     8),
         "A\xF0\x9F\x8D\x9E",
         {Encoding::Utf16Le, Because::ByteOrderMark}},
        {"UTF-16LE, an odd byte at the end",
         std::string("\xFF\xFE"
                     "A\0B",
                     5),
         "A\xEF\xBF\xBD",
         {Encoding::Utf16Le, Because::ByteOrderMark}},
        {"UTF-16LE, a lone surrogate",
         std::string("\xFF\xFE\x3D\xD8"
                     "A\0",
                     6),
         "\xEF\xBF\xBD"
         "A",
         {Encoding::Utf16Le, Because::ByteOrderMark}},
        {"UTF-16BE by its byte order mark",
         std::string("\xFE\xFF\0A\0\xE9", 6),
         "A\xC3\xA9",
         {Encoding::Utf16Be, Because::ByteOrderMark}},
        {"UTF-16BE, one byte after the mark",
         "\xFE\xFF"
         "A",
         "\xEF\xBF\xBD",
         {Encoding::Utf16Be, Because::ByteOrderMark}},
        {"IBM866, controls as themselves",
         "<meta charset=ibm866>\x80\x1A\x1C\x7F",
         "<meta charset=ibm866>\xD0\x90\x1A\x1C\x7F",
         {Encoding::Ibm866, Because::Declared}},
        {"ISO-8859-2",
         "<meta charset=latin2>\xA1\x80",
         "<meta charset=latin2>\xC4\x84\xC2\x80",
         {Encoding::Iso8859_2, Because::Declared}},
        {"ISO-8859-16, by iconv",
         "<meta charset=iso-8859-16>\xA1\xA4",
         "<meta charset=iso-8859-16>\xC4\x84\xE2\x82\xAC",
         {Encoding::Iso8859_16, Because::Declared}},
        {"KOI8-R",
         "<meta charset=koi8-r>\xC1",
         "<meta charset=koi8-r>\xD0\xB0",
         {Encoding::Koi8R, Because::Declared}},
        {"windows-874, a byte it lacks",
         "<meta charset=windows-874>\xA1\xDB",
         "<meta charset=windows-874>\xE0\xB8\x81\xEF\xBF\xBD",
         {Encoding::Windows874, Because::Declared}},
        {"windows-1250",
         "<meta charset=windows-1250>\x81\x8A",
         "<meta charset=windows-1250>\xC2\x81\xC5\xA0",
         {Encoding::Windows1250, Because::Declared}},
        {"windows-1251",
         "<meta charset=cp1251>\xC0\x88",
         "<meta charset=cp1251>\xD0\x90\xE2\x82\xAC",
         {Encoding::Windows1251, Because::Declared}},
        {"windows-1252 declared",
         "<meta charset=iso-8859-1>\x80\x81\x9F\xE9",
         "<meta charset=iso-8859-1>\xE2\x82\xAC\xC2\x81\xC5\xB8\xC3\xA9",
         {Encoding::Windows1252, Because::Declared}},
        {"windows-1256",
         "<meta charset=windows-1256>\xC7",
         "<meta charset=windows-1256>\xD8\xA7",
         {Encoding::Windows1256, Because::Declared}},
        {"macintosh",
         "<meta charset=mac>\x80\xF0",
         "<meta charset=mac>\xC3\x84\xEF\xA3\xBF",
         {Encoding::Macintosh, Because::Declared}},
        {"x-mac-cyrillic",
         "<meta charset=x-mac-cyrillic>\x80\xFF",
         "<meta charset=x-mac-cyrillic>\xD0\x90\xE2\x82\xAC",
         {Encoding::XMacCyrillic, Because::Declared}},
        {"GBK",
         "<meta charset=gb2312>\xD6\xD0\xCE\xC4",
         "<meta charset=gb2312>\xE4\xB8\xAD\xE6\x96\x87",
         {Encoding::Gbk, Because::Declared}},
        {"gb18030, four bytes",
         "<meta charset=gb18030>\x81\x30\x81\x30\x90\x30\x81\x30",
         "<meta charset=gb18030>\xC2\x80\xF0\x90\x80\x80",
         {Encoding::Gb18030, Because::Declared}},
        {"Big5",
         "<meta charset=big5>\xA4\xA4\xA4\xE5\xA3\xE1",
         "<meta charset=big5>\xE4\xB8\xAD\xE6\x96\x87\xE2\x82\xAC",
         {Encoding::Big5, Because::Declared}},
        {"EUC-JP",
         "<meta charset=euc-jp>\xC6\xFC\xCB\xDC\x8E\xB1",
         "<meta charset=euc-jp>\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1",
         {Encoding::EucJp, Because::Declared}},
        {"ISO-2022-JP",
         "<meta charset=iso-2022-jp>\x1B$BF|K\\\x1B(B!",
         "<meta charset=iso-2022-jp>\xE6\x97\xA5\xE6\x9C\xAC!",
         {Encoding::Iso2022Jp, Because::Declared}},
        {"Shift_JIS, controls as themselves",
         "<meta charset=shift_jis>\x93\xFA\x96\x7B\xB1\x7F\x1A\x93",
         "<meta charset=shift_jis>\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1\x7F\x1A\xEF\xBF\xBD",
         {Encoding::ShiftJis, Because::Declared}},
        {"EUC-KR",
         "<meta charset=euc-kr>\xC7\xD1\xB1\xB9",
         "<meta charset=euc-kr>\xED\x95\x9C\xEA\xB5\xAD",
         {Encoding::EucKr, Because::Declared}},
        {"a lead byte before <",
         "<meta charset=euc-kr>\xC7<p>",
         "<meta charset=euc-kr>\xEF\xBF\xBD<p>",
         {Encoding::EucKr, Because::Declared}},
        {"replacement: the page is one U+FFFD",
         "<meta charset=iso-2022-kr>\x1B$)C",
         "\xEF\xBF\xBD",
         {Encoding::Replacement, Because::Declared}},
        {"empty", "", "", {Encoding::Utf8, Because::ValidUtf8}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Read got = read(c.bytes);
        EXPECT_EQ(got.text, c.text);
        EXPECT_EQ(got.reading, c.reading);
    }
}

// Every encoding of the standard can be decoded with this system's libraries.
TEST(Encodings, EveryEncodingDecodes) {
    for (int e = 0; e <= static_cast<int>(Encoding::XUserDefined); ++e) {
        const auto encoding = static_cast<Encoding>(e);
        SCOPED_TRACE(std::string(load::nameOf(encoding)));
        std::string bytes = "abc\x80\xA0\xE0";
        EXPECT_TRUE(load::decodeToUtf8(bytes, {encoding, Because::Declared}));
        EXPECT_TRUE(load::isValidUtf8(bytes));
    }
}

TEST(Encodings, WhatThePageBoxSays) {
    EXPECT_EQ(load::describe({Encoding::Utf8, Because::Declared}),
              QStringLiteral("Read as UTF-8, declared by the page"));
    EXPECT_EQ(load::describe({Encoding::Utf8, Because::ByteOrderMark}),
              QStringLiteral("Read as UTF-8, by its byte order mark"));
    EXPECT_EQ(load::describe({Encoding::Utf8, Because::ValidUtf8}),
              QStringLiteral("Read as UTF-8: the bytes are valid UTF-8"));
    EXPECT_EQ(load::describe({Encoding::Windows1251, Because::Declared}),
              QStringLiteral("Read as windows-1251, declared by the page"));
    EXPECT_EQ(load::describe({Encoding::Windows1252, Because::NothingDeclared}),
              QStringLiteral("Read as windows-1252: nothing declares another encoding"));
}

// Texts made of whole characters, the longest and the shortest of each length, and of pieces
// that are not, at every offset of the sixteen bytes the check takes at once: a text is valid
// exactly when no piece that is not was put in.
TEST(Encodings, Utf8Validity) {
    const std::string_view valid[] = {"a",
                                      "\xC2\x80",
                                      "\xDF\xBF",
                                      "\xE0\xA0\x80",
                                      "\xED\x9F\xBF",
                                      "\xEE\x80\x80",
                                      "\xEF\xBF\xBF",
                                      "\xF0\x90\x80\x80",
                                      "\xF4\x8F\xBF\xBF",
                                      "\xF0\x9F\x98\x80"};
    const std::string_view invalid[] = {"\x80",
                                        "\xBF",
                                        "\xC0\xAF",
                                        "\xC1\xBF",
                                        "\xC3",
                                        "\xE0\x80\x80",
                                        "\xE0\x9F\xBF",
                                        "\xE2\x82",
                                        "\xED\xA0\x80",
                                        "\xED\xBF\xBF",
                                        "\xF0\x80\x80\x80",
                                        "\xF0\x8F\xBF\xBF",
                                        "\xF0\x9F\x98",
                                        "\xF4\x90\x80\x80",
                                        "\xF5\x80\x80\x80",
                                        "\xF8\x88\x80\x80\x80",
                                        "\xFE",
                                        "\xFF"};
    std::uint32_t random = 7;
    const auto below = [&](std::uint32_t n) {
        random = random * 1103515245 + 12345;
        return (random >> 16) % n;
    };
    for (int run = 0; run < 20000; ++run) {
        std::string text;
        const std::size_t pieces = below(40);
        const bool spoiled = below(2) == 0;
        const std::size_t spoiledAt = below(static_cast<std::uint32_t>(pieces + 1));
        for (std::size_t piece = 0; piece <= pieces; ++piece) {
            if (spoiled && piece == spoiledAt)
                text += invalid[below(std::size(invalid))];
            if (piece < pieces)
                text += valid[below(std::size(valid))];
        }
        ASSERT_EQ(load::isValidUtf8(text), !spoiled) << testing::PrintToString(text);
    }
}
