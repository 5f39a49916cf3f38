#pragma once

// The whole analysis of a page as the window runs it, without the window: the seven tags
// (description, keywords and robots content first where the page has them not name first),
// their counters and the keyword count. The fuzz target checks what it finds; the benchmark
// times it.

#include "counters.h"
#include "lookups.h"

#include <optional>
#include <string>
#include <vector>

struct ScannedTag {
    scan::Text word;
    scan::Found found;
    scan::Text shown; // the value as its box shows it, after the copyright-sign repair
    std::optional<scan::Counter> counter;
};

// Tags in the window's order: title, description, keywords, robots, abstract, author,
// copyright.
struct WholeScan {
    std::u16string searchCopy;
    std::vector<ScannedTag> tags;
    std::optional<scan::Counter> words;
};

inline WholeScan scanWhole(scan::Text page) {
    WholeScan scanned{scan::lowerCopy(page), {}, {}};
    const scan::Text copy = scanned.searchCopy;
    const auto add = [&](scan::Text word, const scan::Found& found, std::optional<scan::Pos> limit,
                         bool repair) {
        const scan::Text shown = repair ? scan::repairCopyrightSign(found.value) : found.value;
        scanned.tags.push_back(
            {word, found, shown,
             found.present() ? std::optional(scan::counterOf(shown, limit)) : std::nullopt});
    };
    add(u"title", scan::findTitle(page, copy), scan::TitleLimit, false);
    const struct {
        scan::Text word;
        std::optional<scan::Pos> limit;
    } eitherOrder[] = {{u"description", scan::DescriptionLimit},
                       {u"keywords", scan::KeywordsLimit},
                       {u"robots", std::nullopt}};
    for (const auto& tag : eitherOrder) {
        const scan::Found nameFirst = scan::findNameFirst(page, copy, tag.word);
        add(tag.word,
            nameFirst.present() ? nameFirst : scan::findContentFirst(page, copy, tag.word),
            tag.limit, false);
    }
    if (const ScannedTag& keywords = scanned.tags[2];
        keywords.counter && keywords.counter->count > 0)
        scanned.words = scan::wordCounterOf(keywords.shown);
    add(u"abstract", scan::findNameFirst(page, copy, u"abstract"), std::nullopt, false);
    add(u"author", scan::findNameFirst(page, copy, u"author"), std::nullopt, true);
    add(u"copyright", scan::findNameFirst(page, copy, u"copyright"), std::nullopt, true);
    return scanned;
}
