#include "textbox/piece_text.h"

#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using textbox::PieceText;

namespace {

std::u16string all(const PieceText& text) {
    std::u16string out(text.size(), u'\0');
    text.read(0, text.size(), out.data());
    return out;
}

PieceText utf8(std::string value) {
    PieceText text;
    text.setUtf8(std::make_shared<const std::string>(std::move(value)));
    return text;
}

void replace(PieceText& text, std::size_t position, std::size_t count, std::u16string value) {
    const auto kept = std::make_shared<const std::u16string>(std::move(value));
    text.replace(position, count, *kept, kept);
}

struct Decoding {
    const char* name;
    std::string bytes;
    std::u16string text;
};

class Utf8 : public testing::TestWithParam<Decoding> {};

// Each code unit reads alone as it reads in the whole; bytes that are not UTF-8, which a page
// never holds, read as U+FFFD and never past the text.
TEST_P(Utf8, DecodesEachCharacter) {
    const Decoding decoding = GetParam();
    const PieceText text = utf8(decoding.bytes);
    EXPECT_EQ(all(text), decoding.text);
    for (std::size_t i = 0; i < decoding.text.size(); ++i)
        EXPECT_EQ(text.at(i), decoding.text[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Utf8,
    testing::Values(Decoding{"Ascii", "A\r\n~", u"A\r\n~"},
                    Decoding{"Nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
                    Decoding{"TwoBytes", "caf\xC3\xA9", u"caf\u00E9"},
                    Decoding{"ThreeBytes", "\xE2\x82\xAC\xE6\x97\xA5", u"\u20AC\u65E5"},
                    Decoding{"FourBytes", "\xF0\x9F\x98\x80!", u"\U0001F600!"},
                    Decoding{"CopyrightReadTwice", "\xC3\x82\xC2\xA9", u"\u00C2\u00A9"},
                    Decoding{"Cut", "a\xE2\x82", u"a\uFFFD"},
                    Decoding{"Overlong", "\xC0\xAF", u"\uFFFD"},
                    Decoding{"Surrogate", "\xED\xA0\x80", u"\uFFFD"},
                    Decoding{"BeyondUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD"},
                    Decoding{"LoneLead", "\xF0z", u"\uFFFD\uFFFDz"}),
    [](const testing::TestParamInfo<Decoding>& info) { return info.param.name; });

// A text of many strides, mixed ASCII and longer characters: every stretch of it reads as the
// toolkit decodes it, from every position, halves of surrogate pairs included.
TEST(PieceText, ReadsALongUtf8TextFromEveryPosition) {
    std::string page;
    for (int i = 0; page.size() < 5000; ++i)
        page += i % 7 == 0 ? std::string(300, 'a') : "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80 ";
    const PieceText text = utf8(page);
    const QString expected = QString::fromUtf8(page);
    ASSERT_EQ(text.size(), static_cast<std::size_t>(expected.size()));
    for (std::size_t from = 0; from < text.size(); ++from) {
        const std::size_t count = std::min<std::size_t>(37, text.size() - from);
        std::u16string part(count, u'\0');
        text.read(from, count, part.data());
        ASSERT_EQ(QString::fromStdU16String(part),
                  expected.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(count)))
            << from;
    }
}

// Edits, each one undo step, on a text that starts as UTF-8.
struct EditCase {
    const char* name;
    std::string start;
    std::function<void(PieceText&)> edit;
    std::u16string end;
    int steps;
};

class Edits : public testing::TestWithParam<EditCase> {};

TEST_P(Edits, ReadBackExactlyAndUndoToTheStart) {
    const EditCase& edit = GetParam();
    PieceText text = utf8(edit.start);
    const std::u16string start = all(text);
    edit.edit(text);
    EXPECT_EQ(all(text), edit.end);
    int steps = 0;
    while (text.canUndo()) {
        text.undo();
        ++steps;
    }
    EXPECT_EQ(steps, edit.steps);
    EXPECT_EQ(all(text), start);
    while (text.canRedo())
        text.redo();
    EXPECT_EQ(all(text), edit.end);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Edits,
    testing::Values(
        EditCase{"TypeAtStart", "page", [](PieceText& t) { t.type(0, 0, u"my "); }, u"my page", 1},
        EditCase{"TypeAtEnd", "page", [](PieceText& t) { t.type(4, 0, u"s"); }, u"pages", 1},
        EditCase{"TypingJoinsOneStep", "ab",
                 [](PieceText& t) {
                     t.type(1, 0, u"x");
                     t.type(2, 0, u"y");
                     t.type(3, 0, u"\r\n");
                 },
                 u"axy\r\nb", 1},
        EditCase{"TypingElsewhereIsAnotherStep", "abc",
                 [](PieceText& t) {
                     t.type(0, 0, u"x");
                     t.type(3, 0, u"y");
                 },
                 u"xabyc", 2},
        EditCase{"TypingAfterAMoveIsAnotherStep", "ab",
                 [](PieceText& t) {
                     t.type(1, 0, u"x");
                     t.endTyping();
                     t.type(2, 0, u"y");
                 },
                 u"axyb", 2},
        EditCase{"TypingOverASelectionJoinsTheTypingAfter", "one two",
                 [](PieceText& t) {
                     t.type(4, 3, u"2");
                     t.type(5, 0, u"!");
                 },
                 u"one 2!", 1},
        EditCase{"RemoveALineBreak", "a\r\nb", [](PieceText& t) { t.replace(1, 2, {}, nullptr); },
                 u"ab", 1},
        EditCase{"KeepsLoneCrLfAndNul", std::string("x\ry\0z", 5),
                 [](PieceText& t) { replace(t, 5, 0, u"\n\r\n"); },
                 std::u16string(u"x\ry\0z\n\r\n", 8), 1},
        EditCase{"PasteIntoTypedText", "<>",
                 [](PieceText& t) {
                     t.type(1, 0, u"ab");
                     replace(t, 2, 0, u"\u20AC\U0001F600");
                 },
                 u"<a\u20AC\U0001F600b>", 2},
        EditCase{"RemoveAcrossPieces", "0123456789",
                 [](PieceText& t) {
                     t.type(3, 0, u"abc");
                     t.type(8, 0, u"XY");
                     t.replace(2, 9, {}, nullptr);
                 },
                 u"016789", 3},
        EditCase{"RemoveEverything", "page", [](PieceText& t) { t.replace(0, 4, {}, nullptr); },
                 u"", 1},
        EditCase{"EditBetweenTheHalvesOfAPair", "\xC3\xA9\xF0\x9F\x98\x80\xE6\x97\xA5",
                 [](PieceText& t) {
                     t.type(2, 0, u"|");
                     t.replace(4, 1, {}, nullptr);
                 },
                 u"\u00E9\xD83D|\xDE00", 2},
        EditCase{"MoveForwardAcrossPieces", "0123456789",
                 [](PieceText& t) {
                     t.type(5, 0, u"ab");
                     t.move(1, 3, 10);
                 },
                 u"04ab56712389", 2},
        EditCase{"MoveBackToTheStart", "0123456789", [](PieceText& t) { t.move(7, 3, 0); },
                 u"7890123456", 1}),
    [](const testing::TestParamInfo<EditCase>& info) { return info.param.name; });

TEST(PieceText, AnEditClearsWhatCouldBeRedone) {
    PieceText text = utf8("ab");
    text.type(2, 0, u"c");
    text.undo();
    ASSERT_TRUE(text.canRedo());
    text.type(0, 0, u"x");
    EXPECT_FALSE(text.canRedo());
    EXPECT_EQ(all(text), u"xab");
}

TEST(PieceText, SettingTheTextClearsTheHistory) {
    PieceText text = utf8("ab");
    text.type(2, 0, u"c");
    const auto kept = std::make_shared<const std::u16string>(u"new");
    text.setUtf16(*kept, kept);
    EXPECT_FALSE(text.canUndo());
    EXPECT_EQ(all(text), u"new");
}

TEST(PieceText, TheBytesLiveAsLongAsTheTextShowsThem) {
    auto page = std::make_shared<const std::string>("page");
    PieceText text;
    text.setUtf8(page);
    text.replace(0, 4, {}, nullptr); // an undo step still refers to them
    const std::weak_ptr<const std::string> watch = page;
    page.reset();
    EXPECT_FALSE(watch.expired());
    text.undo();
    EXPECT_EQ(all(text), u"page");
    text.setUtf16({}, nullptr);
    EXPECT_TRUE(watch.expired());
}

// Line breaks found in texts of several pieces of both kinds, against a plain search, for
// every start and end: the search goes a block at a time, a stride of the page's UTF-8 at a
// time and a piece at a time.
TEST(PieceText, FindsLineBreaksAcrossBlocksAndPieces) {
    std::string page(300, 'a');
    for (std::size_t at : {0u, 63u, 64u, 65u, 127u, 200u, 299u})
        page[at] = at % 2 ? '\r' : '\n';
    for (int i = 0; i < 200; ++i)
        page += i % 50 == 0 ? "\r\n" : "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
    PieceText text = utf8(page);
    replace(text, 100, 0, std::u16string(130, u'b') + u"\r\n" + std::u16string(70, u'c'));
    text.type(250, 0, u"\n");
    const std::u16string plain = all(text);
    const auto isBreak = [](char16_t c) { return c == u'\r' || c == u'\n'; };
    for (std::size_t from = 0; from <= plain.size(); from += 7)
        for (std::size_t to = from; to <= plain.size(); to += 11) {
            std::size_t first = from;
            while (first < to && !isBreak(plain[first]))
                ++first;
            std::size_t start = to;
            while (start > from && !isBreak(plain[start - 1]))
                --start;
            ASSERT_EQ(text.findLineBreak(from, to), first) << from << ' ' << to;
            ASSERT_EQ(text.findLineStart(to, from), start) << from << ' ' << to;
        }
}

} // namespace
