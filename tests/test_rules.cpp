#include "scan/analysis.h"
#include "scan/counters.h"
#include "scan/lookups.h"
#include "tests/rule_pages.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace scan;

namespace {

using Lookup = std::function<Found(Text page)>;

void check(const Lookup& lookup, const std::vector<LookupCase>& cases) {
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Found found = lookup(c.page);
        EXPECT_EQ(found.present() ? std::string(found.value) : Absent, c.value);
    }
}

Lookup nameFirst(Text word) {
    return [word](Text page) { return findNameFirst(page, word); };
}

Lookup contentFirst(Text word) {
    return [word](Text page) { return findContentFirst(page, word); };
}

// A byte of the page with its ASCII letters lower-cased; no byte of a character beyond ASCII
// is an ASCII one.
int lower(int byte) {
    return byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte;
}

} // namespace

TEST(SearchRules, FindIsOneBasedAndStartsAtFrom) {
    const Text text = "abcabc";
    EXPECT_EQ(scan::find(text, "abc", 1), 1);
    EXPECT_EQ(scan::find(text, "abc", 2), 4);
    EXPECT_EQ(scan::find(text, "abc", 5), 0);
    EXPECT_EQ(scan::find(text, "x", 1), 0);
    EXPECT_EQ(scan::find(text, "c", 99), 0);
    EXPECT_EQ(scan::find(text, "", 1), 0);
}

// The search runs in the page as if its ASCII letters were lower-cased, without a lower-cased
// copy: every byte of the page against every character a search text may hold, both where the
// search takes sixteen characters at a time and where it takes one.
TEST(SearchRules, FindMatchesThePageLowerCased) {
    for (int byte = 0; byte < 256; ++byte)
        for (char searched = ' '; searched <= '~'; ++searched) {
            if (searched >= 'A' && searched <= 'Z')
                continue; // search texts are written in lower case
            const bool same = lower(byte) == searched;
            const std::string what(3, searched);
            SCOPED_TRACE(testing::Message() << "byte " << byte << ", search " << what);
            EXPECT_EQ(scan::find(std::string(40, static_cast<char>(byte)), what, 1), same ? 1 : 0);
            EXPECT_EQ(scan::find(std::string(3, static_cast<char>(byte)), what, 1), same ? 1 : 0);
            EXPECT_EQ(scan::findBefore(std::string(40, static_cast<char>(byte)), what, 41),
                      same ? 38 : 0);
        }
}

// Long search texts skip through the page; wherever a match stands, and whatever near misses
// stand before it, the first match is found, and backwards the last.
TEST(SearchRules, LongSearchTextsAreFoundWhereverTheyStand) {
    const std::string what = "<meta name=\"abc\" content=";
    const std::string misses[] = {
        "<meta name=\"ab\xC3\" content=", "<meta name=\"abc\" conten", "\xBCmeta name=", "=", "x",
        "<META NAME=\"ABC\" CONTENT"};
    for (std::size_t count = 0; count < 40; ++count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += misses[i % std::size(misses)];
        const auto at = static_cast<Pos>(text.size()) + 1;
        text += "<Meta Name=\"ABC\" Content=tail" + what;
        const auto second = at + static_cast<Pos>(what.size()) + 4;
        SCOPED_TRACE(count);
        EXPECT_EQ(scan::find(text, what, 1), at);
        EXPECT_EQ(scan::find(text, what, at + 1), second);
        EXPECT_EQ(scan::find(text.substr(0, text.size() - 1), what, at + 1), 0);
        EXPECT_EQ(scan::findBefore(text, what, static_cast<Pos>(text.size()) + 1), second);
        EXPECT_EQ(scan::findBefore(text, what, second + static_cast<Pos>(what.size()) - 1), at);
        EXPECT_EQ(scan::findBefore(text, what, at + static_cast<Pos>(what.size()) - 1), 0);
    }
}

TEST(SearchRules, FindBeforeNeedsTheWholeMatchBeforeThePosition) {
    const Text text = "<m>x<m>y";
    EXPECT_EQ(scan::findBefore(text, "<m>", 8), 5);
    EXPECT_EQ(scan::findBefore(text, "<m>", 7), 1); // the second ends on position 7 itself
    EXPECT_EQ(scan::findBefore(text, "<m>", 4), 1);
    EXPECT_EQ(scan::findBefore(text, "<m>", 3), 0);
    EXPECT_EQ(scan::findBefore(text, "<m>", 0), 0);
    EXPECT_EQ(scan::findBefore(text, "<m>", 99), 0);
}

TEST(SearchRules, SelfClosingAdjustmentLeavesTheEndJustAfterTheQuote) {
    struct {
        Text ending;
        Pos moved;
    } const cases[] = {{"x\">", 0}, {"x\"/>", 1}, {"x\" />", 2}, {"x\" >", 0},
                       {"x/>", 0},  {">", 0},     {"/>", 0},     {" />", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        const auto end = static_cast<Pos>(c.ending.size());
        EXPECT_EQ(selfClosingAdjusted(c.ending, end), end - c.moved);
    }
}

TEST(SearchRules, ExtractionNeverReachesPastThePage) {
    const Text page = "0123456789";
    EXPECT_EQ(extract(page, 1, 8, 2, 3), "2345");
    EXPECT_EQ(extract(page, 1, 4, 2, 3), ""); // length 0
    EXPECT_EQ(extract(page, 1, 3, 2, 3), ""); // length below 0
    EXPECT_EQ(extract(page, 1, 99, 2, 3), "2345678");
    EXPECT_EQ(extract(page, 5, 99, 20, 0), "");
    EXPECT_EQ(extract(page, 0, 8, 2, 3), "");
    const Text cyrillic = "\xD0\xB0\xD0\xB1\xD0\xB2\xD0\xB3"; // абвг, two bytes each
    EXPECT_EQ(extract(cyrillic, 1, 7, 1, 2), "\xD0\xB1");     // б: one character off each end
    EXPECT_EQ(extract(cyrillic, 1, 99, 1, 1), "\xD0\xB1\xD0\xB2\xD0\xB3");
}

TEST(SearchRules, CopyrightSignRepairLooksAtTheBeginningOnly) {
    struct {
        Text value, repaired;
    } const cases[] = {{"\xC3\x82\xC2\xA9 2026 Ann", "\xC2\xA9 2026 Ann"}, // "Â©" to "©"
                       {"Ann \xC3\x82\xC2\xA9", "Ann \xC3\x82\xC2\xA9"},
                       {"\xC2\xA9 Ann", "\xC2\xA9 Ann"},
                       {"\xC3\x82", "\xC3\x82"},
                       {"\xC3\x82 Ann", "\xC3\x82 Ann"},
                       {"\xC3\xA2\xC2\xA9", "\xC3\xA2\xC2\xA9"}, // "â©": no case folded
                       {"", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(repairCopyrightSign(c.value), c.repaired);
    }
}

TEST(Lookups, Title) {
    check(findTitle, TitleCases);
}

TEST(Lookups, NameFirst) {
    check(nameFirst("author"), NameFirstCases);
}

TEST(Lookups, ContentFirst) {
    check(contentFirst("robots"), ContentFirstCases);
    check(contentFirst("description"), LongContentFirstCases);
}

TEST(Analysis, EitherOrder) {
    check([](Text page) { return analysePage(page).robots.found; }, EitherOrderCases);
}

// The tables again through the analysis, which finds every search text in one pass; content
// first is what it reads in that order.
TEST(Analysis, OnePassReadsTheTables) {
    const auto onePassContentFirst = [](Field Analysis::*tag) {
        return [tag](Text page) {
            const Field field = analysePage(page).*tag;
            return field.order == Order::ContentFirst ? field.found : Found{};
        };
    };
    check([](Text page) { return analysePage(page).title.found; }, TitleCases);
    check([](Text page) { return analysePage(page).author.found; }, NameFirstCases);
    check(onePassContentFirst(&Analysis::robots), ContentFirstCases);
    check(onePassContentFirst(&Analysis::description), LongContentFirstCases);
}

// Every page of the tables, shifted across the sixteen positions the pass tests at once and up
// to the page's end, alone and among the other tags before and after it: the one pass finds
// what each text's own search finds.
TEST(Analysis, OnePassAgreesWithEachTextsOwnSearch) {
    const std::string others = "<title>t</title><meta name=\"description\" content=\"d\">"
                               "<meta content=\"k\" name=\"keywords\"/><meta name=\"robots\" "
                               "content=\"r\"><meta name=\"abstract\" content=\"s\">"
                               "<meta name=\"author\" content=\"a\">"
                               "<meta name=\"copyright\" content=\"c\">";
    for (const auto* table : {&TitleCases, &NameFirstCases, &ContentFirstCases,
                              &LongContentFirstCases, &EitherOrderCases})
        for (const LookupCase& c : *table)
            for (std::size_t shift = 0; shift < 24; ++shift)
                for (const std::string& page :
                     {std::string(shift, ' ') + c.page, c.page + std::string(shift, ' '),
                      others + std::string(shift, '<') + c.page, c.page + others}) {
                    SCOPED_TRACE(testing::Message() << c.name << ", page " << page);
                    ASSERT_EQ(analysePage(page), analysePageByEachText(page));
                }
}

// The pass stops once the title and every name-first text are found, and not before: each of
// the seven, late in the page after the other six in every order they come to, is still found.
TEST(Analysis, OnePassStopsOnlyOnceEverythingIsFound) {
    const std::string tags[] = {"<title>t</title>",
                                "<meta name=\"description\" content=\"d\">",
                                "<meta name=\"keywords\" content=\"k\">",
                                "<meta name=\"robots\" content=\"r\">",
                                "<meta name=\"abstract\" content=\"s\">",
                                "<meta name=\"author\" content=\"a\">",
                                "<meta name=\"copyright\" content=\"c\">"};
    for (std::size_t late = 0; late < std::size(tags); ++late) {
        std::string page;
        for (std::size_t i = 1; i < std::size(tags); ++i) // the others, from the one after it
            page += tags[(late + i) % std::size(tags)];
        page += std::string(100, ' ') + tags[late] + "<title>u</title>";
        SCOPED_TRACE(tags[late]);
        const Analysis analysis = analysePage(page);
        EXPECT_EQ(analysis, analysePageByEachText(page));
        for (const Field* field :
             {&analysis.title, &analysis.description, &analysis.keywords, &analysis.robots,
              &analysis.abstract, &analysis.author, &analysis.copyright})
            EXPECT_TRUE(field->present());
    }
}

// Author and copyright lose the "Â" of a copyright sign encoded twice, and are counted without
// it; values are counted in UTF-16 code units; the keyword count is made only when the keywords
// counter is above 0.
TEST(Analysis, RepairCountsAndKeywordCount) {
    const Analysis analysis =
        analysePage("<title>Caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80</title>"
                    "<meta name=\"author\" content=\"\xC3\x82\xC2\xA9 Ann\">"
                    "<meta name=\"abstract\" content=\"\xC3\x82\xC2\xA9 Ann\">"
                    "<meta name=\"keywords\" content=\"a,b,,\">");
    EXPECT_EQ(analysis.title.counter, (Counter{8, "8", Blue})); // an emoji counts two
    EXPECT_EQ(analysis.author.shown, "\xC2\xA9 Ann");
    EXPECT_EQ(analysis.author.counter, (Counter{5, "5", std::nullopt}));
    EXPECT_EQ(analysis.abstract.shown, "\xC3\x82\xC2\xA9 Ann");
    EXPECT_EQ(analysis.abstract.counter, (Counter{6, "6", std::nullopt}));
    EXPECT_EQ(analysis.words, (Counter{4, "4", Blue}));
    EXPECT_EQ(analysePage("<meta name=\"keywords\" content=\"\">").words, std::nullopt);
    EXPECT_EQ(analysePage("").words, std::nullopt);
}

TEST(Lookups, PositionsBeyond32767AreReadNormally) {
    const std::string filler(40000, 'x');
    const std::string value(40000, 'v');
    check(
        nameFirst("keywords"),
        {{"late and long", filler + "<meta name=\"keywords\" content=\"" + value + "\">", value}});
    check(
        contentFirst("keywords"),
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
        std::string_view keywords;
        Pos words;
    } const cases[] = {{"", 1},
                       {"html", 1},
                       {"a, b", 2},
                       {"a,b,", 3},
                       {"a,,b", 3},
                       {",", 2},
                       {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o", 15},
                       {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p", 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keywords);
        EXPECT_EQ(countWords(c.keywords), c.words);
    }
}

TEST(Counters, CaptionNumber) {
    struct {
        std::string_view caption;
        Pos number;
    } const cases[] = {
        {"12", 12}, {"  7", 7}, {"0", 0},
        {" ", 0},   {"", 0},    {"4x2", 4},
        {"x4", 0},  {"-3", 0},  {"99999999999999999999999", std::numeric_limits<Pos>::max()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(leadingNumber(c.caption), c.number);
    }
}

TEST(Counters, CounterShowsTheCountInItsLimitColour) {
    const Counter title = counterOf(71, TitleLimit);
    EXPECT_EQ(title.caption, "71");
    EXPECT_EQ(title.colour, Red);
    EXPECT_EQ(counterOf(0, DescriptionLimit), (Counter{0, "0", Blue}));
    EXPECT_EQ(counterOf(40000, std::nullopt), (Counter{40000, "40000", std::nullopt}));
    EXPECT_EQ(wordCounterOf(16), (Counter{16, "16", Red}));
}
