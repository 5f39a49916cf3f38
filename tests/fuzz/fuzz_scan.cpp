// libFuzzer target: any bytes as a page file, read and scanned as the window does, with the
// invariants that must hold for every page.

#include "../whole_scan.h"
#include "page_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void checkPageText(std::u16string_view page) {
    require(page.empty() || page.ends_with(u"\r\n"), "every line ends with CR LF");
    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == u'\r')
            require(i + 1 < page.size() && page[i + 1] == u'\n', "a CR is followed by LF");
        if (page[i] == u'\n')
            require(i > 0 && page[i - 1] == u'\r', "an LF follows a CR");
    }
}

void checkFound(scan::Text page, const scan::Found& found) {
    const auto size = static_cast<scan::Pos>(page.size());
    if (!found.present()) {
        require(found.value.empty(), "an absent tag has no value");
        return;
    }
    require(1 <= found.start && found.start <= found.end && found.end <= size,
            "positions stay inside the page");
    require(found.value.empty() || (found.value.data() >= page.data() &&
                                    found.value.data() + found.value.size() <= page.data() + size),
            "a value is a part of the page");
}

bool isDecimal(std::u16string_view caption) {
    return !caption.empty() && (caption.size() == 1 || caption[0] != u'0') &&
           std::all_of(caption.begin(), caption.end(),
                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// The counter of a box that shows `value`: its caption is the decimal length of the value.
void checkCounter(const scan::Counter& counter, scan::Text value) {
    require(counter.count == static_cast<scan::Pos>(value.size()), "the count is the length");
    require(isDecimal(counter.caption) && scan::leadingNumber(counter.caption) == counter.count,
            "the caption is the length in plain decimal digits");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::u16string page(load::pageTextLength(bytes), u'\0');
    load::decodePage(bytes, page.data());
    checkPageText(page);

    const WholeScan scanned = scanWhole(page);
    require(scanned.searchCopy.size() == page.size(), "the search copy is one character for one");
    for (const ScannedTag& tag : scanned.tags) {
        checkFound(page, tag.found);
        require(tag.shown.size() + 1 >= tag.found.value.size() &&
                    tag.found.value.ends_with(tag.shown),
                "the copyright repair removes at most the first character");
        if (tag.counter)
            checkCounter(*tag.counter, tag.shown);
    }
    if (scanned.words) {
        const scan::Text keywords = scanned.tags[2].shown;
        require(scanned.words->count == 1 + std::count(keywords.begin(), keywords.end(), u','),
                "keywords are the commas plus one");
        require(isDecimal(scanned.words->caption) &&
                    scan::leadingNumber(scanned.words->caption) == scanned.words->count,
                "the word caption is the count in plain decimal digits");
    }
    return 0;
}
