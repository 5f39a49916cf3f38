// libFuzzer target: any bytes as a page file, read as the window reads it (byte order mark,
// declaration, UTF-8 check, decoding) into the page text, and analysed as the window analyses
// it, in one pass, against the lookups that search the page for each text apart, and with the
// invariants that must hold for every page.

#include "load/page_file.h"
#include "load/utf8.h"
#include "scan/analysis.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void checkPageText(std::string_view page) {
    require(load::isValidUtf8(page), "the page text is UTF-8");
    require(page.empty() || page.ends_with("\r\n"), "every line ends with CR LF");
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\r')
            require(i + 1 < page.size() && page[i + 1] == '\n', "a CR is followed by LF");
        if (page[i] == '\n')
            require(i > 0 && page[i - 1] == '\r', "an LF follows a CR");
    }
}

bool isDecimal(std::string_view caption) {
    return !caption.empty() && (caption.size() == 1 || caption[0] != '0') &&
           std::all_of(caption.begin(), caption.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void checkCounter(const scan::Counter& counter, scan::Pos count) {
    require(counter.count == count, "the count is the length");
    require(isDecimal(counter.caption) && scan::leadingNumber(counter.caption) == count,
            "the caption is the count in plain decimal digits");
}

void checkField(scan::Text page, const scan::Field& field) {
    const auto size = static_cast<scan::Pos>(page.size());
    if (!field.present()) {
        require(field.shown.empty() && !field.counter, "an absent tag shows nothing");
        return;
    }
    const scan::Found& found = field.found;
    require(1 <= found.start && found.start <= found.end && found.end <= size,
            "positions stay inside the page");
    require(found.value.empty() || (found.value.data() >= page.data() &&
                                    found.value.data() + found.value.size() <= page.data() + size),
            "a value is a part of the page");
    require(load::isValidUtf8(found.value), "a value is whole characters");
    require(field.shown == found.value || (found.value.starts_with("\xC3\x82\xC2\xA9") &&
                                           found.value.substr(2) == field.shown),
            "the copyright repair removes only the capital A with circumflex before the sign");
    require(field.counter.has_value(), "a present tag is counted");
    checkCounter(*field.counter, scan::utf16Length(field.shown));
}

// The content-first lookup runs only when the name-first search text does not occur.
void checkOrder(scan::Text page, const scan::Field& field, std::string_view word) {
    if (field.order == scan::Order::ContentFirst)
        require(scan::find(page, "<meta name=\"" + std::string(word) + "\" content=", 1) == 0,
                "content first only without the name-first search text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string page(reinterpret_cast<const char*>(data), size);
    require(load::makePageTextOfFile(page).has_value(), "every encoding is decoded");
    checkPageText(page);

    const scan::Analysis analysis = scan::analysePage(page);
    require(analysis == scan::analysePageByEachText(page),
            "the one pass finds what each text's own search finds");
    for (const scan::Field* field :
         {&analysis.title, &analysis.description, &analysis.keywords, &analysis.robots,
          &analysis.abstract, &analysis.author, &analysis.copyright})
        checkField(page, *field);
    checkOrder(page, analysis.description, "description");
    checkOrder(page, analysis.keywords, "keywords");
    checkOrder(page, analysis.robots, "robots");

    const auto& keywords = analysis.keywords.counter;
    require(analysis.words.has_value() == (keywords && keywords->count > 0),
            "keywords are counted when their counter is above 0");
    if (analysis.words)
        checkCounter(*analysis.words, 1 + std::count(analysis.keywords.shown.begin(),
                                                     analysis.keywords.shown.end(), ','));
    return 0;
}
