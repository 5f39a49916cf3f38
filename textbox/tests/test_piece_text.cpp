#include "textbox/piece_text.h"

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

PieceText bytes(std::string value) {
    PieceText text;
    text.setWindows1252(std::make_shared<const std::string>(std::move(value)));
    return text;
}

void replace(PieceText& text, std::size_t position, std::size_t count, std::u16string value) {
    const auto kept = std::make_shared<const std::u16string>(std::move(value));
    text.replace(position, count, *kept, kept);
}

struct Decoding {
    unsigned char byte;
    char16_t character;
};

class Windows1252 : public testing::TestWithParam<Decoding> {};

TEST_P(Windows1252, DecodesEachByte) {
    const Decoding decoding = GetParam();
    const PieceText text = bytes(std::string(1, static_cast<char>(decoding.byte)));
    EXPECT_EQ(text.at(0), decoding.character);
    EXPECT_EQ(all(text), std::u16string(1, decoding.character));
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Windows1252,
    testing::Values(Decoding{0x00, 0x0000}, Decoding{0x0D, 0x000D}, Decoding{0x41, 0x0041},
                    Decoding{0x7F, 0x007F}, Decoding{0x80, 0x20AC}, Decoding{0x81, 0x0081},
                    Decoding{0x8D, 0x008D}, Decoding{0x8F, 0x008F}, Decoding{0x90, 0x0090},
                    Decoding{0x91, 0x2018}, Decoding{0x96, 0x2013}, Decoding{0x99, 0x2122},
                    Decoding{0x9D, 0x009D}, Decoding{0x9F, 0x0178}, Decoding{0xA0, 0x00A0},
                    Decoding{0xE9, 0x00E9}, Decoding{0xFF, 0x00FF}));

// Edits, each one undo step, on a text that starts as Windows-1252 bytes.
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
    PieceText text = bytes(edit.start);
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
    PieceText text = bytes("ab");
    text.type(2, 0, u"c");
    text.undo();
    ASSERT_TRUE(text.canRedo());
    text.type(0, 0, u"x");
    EXPECT_FALSE(text.canRedo());
    EXPECT_EQ(all(text), u"xab");
}

TEST(PieceText, SettingTheTextClearsTheHistory) {
    PieceText text = bytes("ab");
    text.type(2, 0, u"c");
    const auto kept = std::make_shared<const std::u16string>(u"new");
    text.setUtf16(*kept, kept);
    EXPECT_FALSE(text.canUndo());
    EXPECT_EQ(all(text), u"new");
}

TEST(PieceText, TheBytesLiveAsLongAsTheTextShowsThem) {
    auto page = std::make_shared<const std::string>("page");
    PieceText text;
    text.setWindows1252(page);
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
// every start and end: the search goes a block at a time and a piece at a time.
TEST(PieceText, FindsLineBreaksAcrossBlocksAndPieces) {
    std::string page(300, 'a');
    for (std::size_t at : {0u, 63u, 64u, 65u, 127u, 200u, 299u})
        page[at] = at % 2 ? '\r' : '\n';
    PieceText text = bytes(page);
    replace(text, 100, 0, std::u16string(130, u'b') + u"\r\n" + std::u16string(70, u'c'));
    text.type(250, 0, u"\n");
    const std::u16string plain = all(text);
    const auto isBreak = [](char16_t c) { return c == u'\r' || c == u'\n'; };
    for (std::size_t from = 0; from <= plain.size(); from += 7)
        for (std::size_t to = from; to <= plain.size(); to += 5) {
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
