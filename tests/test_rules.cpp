#include "counters.h"
#include "latin1.h"
#include "lookups.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace scan;

namespace {

const std::string Absent = "<absent>";

using Lookup = std::function<Found(Text page, Text searchCopy)>;

std::string lookUp(const Lookup& lookup, const std::string& bytes) {
    const std::u16string page = widen(bytes);
    const std::u16string copy = lowerCopy(page);
    const Found found = lookup(page, copy);
    return found.present() ? narrow(found.value) : Absent;
}

struct Case {
    const char* name;
    std::string page;
    std::string value;
};

void check(const Lookup& lookup, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lookUp(lookup, c.page), c.value);
    }
}

Lookup nameFirst(Text word) {
    return [word](Text page, Text copy) { return findNameFirst(page, copy, word); };
}

Lookup contentFirst(Text word) {
    return [word](Text page, Text copy) { return findContentFirst(page, copy, word); };
}

} // namespace

TEST(SearchRules, FindIsOneBasedAndStartsAtFrom) {
    const Text text = u"abcabc";
    EXPECT_EQ(find(text, u"abc", 1), 1);
    EXPECT_EQ(find(text, u"abc", 2), 4);
    EXPECT_EQ(find(text, u"abc", 5), 0);
    EXPECT_EQ(find(text, u"x", 1), 0);
    EXPECT_EQ(find(text, u"c", 99), 0);
}

// Long search texts skip through the page; wherever a match stands, and whatever near misses
// and characters of the same low byte stand before it, the first match is found.
TEST(SearchRules, LongSearchTextsAreFoundWhereverTheyStand) {
    const std::u16string what = u"<meta name=\"\u0141bc\" content=";
    const std::u16string misses[] = {u"<meta name=\"Abc\" content=",
                                     u"<meta name=\"\u0141bc\" conten", u"\u013Cmeta name=", u"=",
                                     u"x"};
    for (std::size_t count = 0; count < 40; ++count) {
        std::u16string text;
        for (std::size_t i = 0; i < count; ++i)
            text += misses[i % std::size(misses)];
        const std::size_t at = text.size();
        text += what + u"tail" + what;
        SCOPED_TRACE(count);
        EXPECT_EQ(scan::find(text, what, 1), static_cast<Pos>(at) + 1);
        EXPECT_EQ(scan::find(text, what, static_cast<Pos>(at) + 2),
                  static_cast<Pos>(at + what.size() + 4) + 1);
        EXPECT_EQ(scan::find(text.substr(0, at + what.size() - 1), what, 1), 0);
    }
}

TEST(SearchRules, FindBeforeNeedsTheWholeMatchBeforeThePosition) {
    const Text text = u"<m>x<m>y";
    EXPECT_EQ(findBefore(text, u"<m>", 8), 5);
    EXPECT_EQ(findBefore(text, u"<m>", 7), 1); // the second ends on position 7 itself
    EXPECT_EQ(findBefore(text, u"<m>", 4), 1);
    EXPECT_EQ(findBefore(text, u"<m>", 3), 0);
    EXPECT_EQ(findBefore(text, u"<m>", 0), 0);
}

TEST(SearchRules, LowerCopyKeepsEveryPosition) {
    const std::u16string page = u"<TITLE>\u00C0\u00DE\u00D7\u0160\u0152\u017D\u0178\u20AC";
    EXPECT_EQ(lowerCopy(page), u"<title>\u00E0\u00FE\u00D7\u0161\u0153\u017E\u00FF\u20AC");
    EXPECT_EQ(lowerCopy(u""), u"");

    // Every character a page can hold, many at a time, as one at a time.
    std::u16string all, lowered;
    for (char16_t c = 0; c < 0x180; ++c)
        all += c;
    all += u"\u2013\u20AC\u2122";
    for (const char16_t c : all) {
        const bool capital = (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        const bool pair = c == 0x152 || c == 0x160 || c == 0x17D;
        lowered += c == 0x178 ? char16_t(0xFF) : char16_t(c + (capital ? 0x20 : pair ? 1 : 0));
    }
    EXPECT_EQ(lowerCopy(all), lowered);
}

TEST(SearchRules, SelfClosingAdjustmentLeavesTheEndJustAfterTheQuote) {
    struct {
        const char* ending;
        Pos moved;
    } const cases[] = {{"x\">", 0}, {"x\"/>", 1}, {"x\" />", 2}, {"x\" >", 0},
                       {"x/>", 0},  {">", 0},     {"/>", 0},     {" />", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        const std::u16string page = widen(c.ending);
        const Pos end = static_cast<Pos>(page.size());
        EXPECT_EQ(selfClosingAdjusted(page, end), end - c.moved);
    }
}

TEST(SearchRules, ExtractionNeverReachesPastThePage) {
    const Text page = u"0123456789";
    EXPECT_EQ(extract(page, 1, 8, 2, 3), u"2345");
    EXPECT_EQ(extract(page, 1, 4, 2, 3), u""); // length 0
    EXPECT_EQ(extract(page, 1, 3, 2, 3), u""); // length below 0
    EXPECT_EQ(extract(page, 1, 99, 2, 3), u"23456789");
    EXPECT_EQ(extract(page, 5, 99, 20, 0), u"");
}

TEST(SearchRules, CopyrightSignRepairLooksAtTheBeginningOnly) {
    struct {
        std::string value, repaired;
    } const cases[] = {{"\xC2\xA9 2026 Ann", "\xA9 2026 Ann"},
                       {"Ann \xC2\xA9", "Ann \xC2\xA9"},
                       {"\xC2", "\xC2"},
                       {"\xC2 Ann", "\xC2 Ann"},
                       {"\xE2\xA9", "\xE2\xA9"},
                       {"\xA9", "\xA9"},
                       {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::u16string value = widen(c.value);
        EXPECT_EQ(narrow(repairCopyrightSign(value)), c.repaired);
    }
}

TEST(Lookups, Title) {
    check(findTitle, {
                         {"plain", "<head><title>Hello</title>", "Hello"},
                         {"capitals keep their case", "<TITLE>Hello World</TiTlE>", "Hello World"},
                         {"empty", "<title></title>", ""},
                         {"over a line break", "<title>a\r\nb</title>", "a\r\nb"},
                         {"the first closing tag", "<title>a</title>b</title>", "a"},
                         {"the first title", "<title>a</title><title>b</title>", "a"},
                         {"no closing tag", "<title>Hello", Absent},
                         {"closing tag only before", "</title><title>Hello", Absent},
                         {"attributes", "<title lang=en>Hello</title>", Absent},
                         {"no title", "<html></html>", Absent},
                         {"empty page", "", Absent},
                     });
}

TEST(Lookups, NameFirst) {
    check(
        nameFirst(u"author"),
        {
            {"ends with >", "<meta name=\"author\" content=\"Ann\">", "Ann"},
            {"ends with />", "<meta name=\"author\" content=\"Ann\"/>", "Ann"},
            {"ends with space />", "<meta name=\"author\" content=\"Ann\" />", "Ann"},
            {"space before > keeps the quote", "<meta name=\"author\" content=\"Ann\" >", "Ann\""},
            {"capitals", "<META NAME=\"AUTHOR\" CONTENT=\"Ann Lee\">", "Ann Lee"},
            {"tag word capitalised", "<meta name=\"Author\" content=\"Ann\">", "Ann"},
            {"quotes are skipped unread", "<meta name=\"author\" content='Ann'>", "Ann"},
            {"no quotes lose a character each side", "<meta name=\"author\" content=Ann>", "n"},
            {"empty value", "<meta name=\"author\" content=\"\">", ""},
            {"> inside the value", "<meta name=\"author\" content=\"x > y\">", "x"},
            {"over a line break", "<meta name=\"author\" content=\"a\r\nb\">", "a\r\nb"},
            {"further attribute", "<meta name=\"author\" content=\"abc\" lang=\"en\">",
             "abc\" lang=\"en"},
            {"the first of two",
             "<!-- <meta name=\"author\" content=\"A\"> -->"
             "<meta name=\"author\" content=\"B\">",
             "A"},
            {"single quotes around the name", "<meta name='author' content=\"Ann\">", Absent},
            {"two spaces", "<meta  name=\"author\" content=\"Ann\">", Absent},
            {"spaces around =", "<meta name = \"author\" content=\"Ann\">", Absent},
            {"line break between attributes", "<meta name=\"author\"\r\ncontent=\"Ann\">", Absent},
            {"content first", "<meta content=\"Ann\" name=\"author\">", Absent},
            {"no > after it", "<meta name=\"author\" content=\"Ann\"", Absent},
            // Below zero by the formula: an empty value that counts as present.
            {"> right after content=", "<meta name=\"author\" content=>", ""},
            {"one quote, then >", "<meta name=\"author\" content=\">", ""},
            {"one quote, then />", "<meta name=\"author\" content=\"/>", ""},
        });
}

TEST(Lookups, ContentFirst) {
    check(contentFirst(u"robots"),
          {
              {"ends with >", "<meta content=\"noindex\" name=\"robots\">", "noindex"},
              {"ends with />", "<meta content=\"noindex\" name=\"robots\"/>", "noindex"},
              {"ends with space />", "<meta content=\"noindex\" name=\"robots\" />", "noindex"},
              {"capitals", "<META CONTENT=\"NoIndex\" NAME=\"ROBOTS\">", "NoIndex"},
              {"quotes are skipped unread", "<meta content='abc' name=\"robots\">", "abc"},
              {"empty value", "<meta content=\"\" name=\"robots\">", ""},
              {"over a line break", "<meta content=\"a\r\nb\" name=\"robots\">", "a\r\nb"},
              {"further attribute between", "<meta content=\"abc\" lang=\"en\" name=\"robots\">",
               "abc\" lang=\"en"},
              {"> first wins over an earlier />",
               "<meta content=\"a\" name=\"robots\" /><meta content=\"b\" name=\"robots\">", "b"},
              {"/> wins over an earlier space />",
               "<meta content=\"a\" name=\"robots\" /><meta content=\"b\" name=\"robots\"/>", "b"},
              {"of the same ending the first",
               "<meta content=\"a\" name=\"robots\"><meta content=\"b\" name=\"robots\">", "a"},
              {"space before >", "<meta content=\"noindex\" name=\"robots\" >", Absent},
              {"single quotes around the name", "<meta content=\"x\" name='robots'>", Absent},
              {"spaces around =", "<meta content=\"x\" name = \"robots\">", Absent},
              {"no <meta content= before it", "<meta lang=\"en\" name=\"robots\">", Absent},
              // Another tag's start: the value is cut from that tag's text, as the rule says.
              {"another tag's start",
               "<meta content=\"x\" name=\"author\"><meta lang=\"en\" name=\"robots\">", "x"},
              {"name first", "<meta name=\"robots\" content=\"noindex\">", Absent},
          });
    check(contentFirst(u"description"),
          {
              {"> inside the value drops 20",
               "<meta content=\"" + std::string(23, 'a') + ">b\" name=\"description\">", "aaa"},
              {"> too close gives an empty value",
               "<meta content=\"" + std::string(5, 'a') + ">b\" name=\"description\">", ""},
          });
}

TEST(Lookups, PositionsBeyond32767AreReadNormally) {
    const std::string filler(40000, 'x');
    const std::string value(40000, 'v');
    check(
        nameFirst(u"keywords"),
        {{"late and long", filler + "<meta name=\"keywords\" content=\"" + value + "\">", value}});
    check(
        contentFirst(u"keywords"),
        {{"late and long", filler + "<meta content=\"" + value + "\" name=\"keywords\">", value}});
}

TEST(Counters, LimitColours) {
    struct {
        Pos count, limit;
        Rgb colour;
    } const cases[] = {{0, TitleLimit, Blue},        {70, TitleLimit, Blue},
                       {71, TitleLimit, Red},        {160, DescriptionLimit, Blue},
                       {161, DescriptionLimit, Red}, {260, KeywordsLimit, Blue},
                       {261, KeywordsLimit, Red},    {15, WordsLimit, Blue},
                       {16, WordsLimit, Red},        {100000, KeywordsLimit, Red}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " of " << c.limit);
        EXPECT_EQ(limitColour(c.count, c.limit), c.colour);
    }
}

TEST(Counters, WordsAreCommasPlusOne) {
    struct {
        Text keywords;
        Pos words;
    } const cases[] = {{u"", 1},
                       {u"html", 1},
                       {u"a, b", 2},
                       {u"a,b,", 3},
                       {u"a,,b", 3},
                       {u",", 2},
                       {u"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o", 15},
                       {u"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p", 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.keywords));
        EXPECT_EQ(countWords(c.keywords), c.words);
    }
}

TEST(Counters, CaptionNumber) {
    struct {
        Text caption;
        Pos number;
    } const cases[] = {
        {u"12", 12}, {u"  7", 7}, {u"0", 0},
        {u" ", 0},   {u"", 0},    {u"4x2", 4},
        {u"x4", 0},  {u"-3", 0},  {u"99999999999999999999999", std::numeric_limits<Pos>::max()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.caption));
        EXPECT_EQ(leadingNumber(c.caption), c.number);
    }
}

TEST(Counters, CounterShowsTheLengthInItsLimitColour) {
    const Counter title = counterOf(u"a\r\nb", TitleLimit);
    EXPECT_EQ(title.count, 4);
    EXPECT_EQ(title.caption, u"4");
    EXPECT_EQ(title.colour, Blue);
    EXPECT_EQ(counterOf(u"", DescriptionLimit).caption, u"0");
    EXPECT_EQ(counterOf(std::u16string(40000, u'x'), std::nullopt).caption, u"40000");
    EXPECT_EQ(counterOf(u"x", std::nullopt).colour, std::nullopt);
    const Counter words = wordCounterOf(u"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p");
    EXPECT_EQ(words.caption, u"16");
    EXPECT_EQ(words.colour, Red);
}
