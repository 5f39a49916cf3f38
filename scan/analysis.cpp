#include "scan/analysis.h"

#include "scan/first_occurrences.h"

namespace scan {

namespace {

Field field(const Found& found, std::optional<Pos> limit, bool repairSign = false) {
    if (!found.present())
        return {found, {}, std::nullopt};
    const Text shown = repairSign ? repairCopyrightSign(found.value) : found.value;
    return {found, shown, counterOf(utf16Length(shown), limit)};
}

// The analysis from lookups that answer title(), nameFirst(tag) and contentFirst(tag), however
// they find their search texts.
template <typename Lookups> Analysis analyse(const Lookups& lookups) {
    const auto eitherOrder = [&](MetaTag tag, std::optional<Pos> limit) {
        const Found nameFirst = lookups.nameFirst(tag);
        if (nameFirst.start != 0)
            return field(nameFirst, limit);
        Field found = field(lookups.contentFirst(tag), limit);
        found.order = Order::ContentFirst;
        return found;
    };
    Analysis analysis{
        .title = field(lookups.title(), TitleLimit),
        .description = eitherOrder(Description, DescriptionLimit),
        .keywords = eitherOrder(Keywords, KeywordsLimit),
        .robots = eitherOrder(Robots, std::nullopt),
        .abstract = field(lookups.nameFirst(Abstract), std::nullopt),
        .author = field(lookups.nameFirst(Author), std::nullopt, true),
        .copyright = field(lookups.nameFirst(Copyright), std::nullopt, true),
        .words = std::nullopt,
    };
    if (const auto& keywords = analysis.keywords.counter; keywords && keywords->count > 0)
        analysis.words = wordCounterOf(countWords(analysis.keywords.shown));
    return analysis;
}

// Every search text found beforehand, in one pass.
struct OnePass {
    Text page;
    FirstOccurrences first = findFirstOccurrences(page);

    Found title() const { return titleAt(page, first.title); }
    Found nameFirst(MetaTag tag) const {
        return nameFirstAt(page, MetaWords[tag], first.nameFirst[tag]);
    }
    Found contentFirst(MetaTag tag) const {
        return contentFirstAt(page, MetaWords[tag], first.contentFirst[tag]);
    }
};

// Each lookup by its own searches.
struct EachText {
    Text page;

    Found title() const { return findTitle(page); }
    Found nameFirst(MetaTag tag) const { return findNameFirst(page, MetaWords[tag]); }
    Found contentFirst(MetaTag tag) const { return findContentFirst(page, MetaWords[tag]); }
};

} // namespace

Analysis analysePage(Text page) {
    return analyse(OnePass{page});
}

Analysis analysePageByEachText(Text page) {
    return analyse(EachText{page});
}

} // namespace scan
