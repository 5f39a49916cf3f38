#include "scan/analysis.h"

namespace scan {

namespace {

Field field(const Found& found, std::optional<Pos> limit, bool repairSign = false) {
    if (!found.present())
        return {found, {}, std::nullopt};
    const Text shown = repairSign ? repairCopyrightSign(found.value) : found.value;
    return {found, shown, counterOf(static_cast<Pos>(shown.size()), limit)};
}

Field eitherOrder(Text page, Text word, std::optional<Pos> limit) {
    const Found nameFirst = findNameFirst(page, word);
    if (nameFirst.start != 0)
        return field(nameFirst, limit);
    Field found = field(findContentFirst(page, word), limit);
    found.order = Order::ContentFirst;
    return found;
}

} // namespace

Analysis analysePage(Text page) {
    Analysis analysis{
        .title = field(findTitle(page), TitleLimit),
        .description = eitherOrder(page, "description", DescriptionLimit),
        .keywords = eitherOrder(page, "keywords", KeywordsLimit),
        .robots = eitherOrder(page, "robots", std::nullopt),
        .abstract = field(findNameFirst(page, "abstract"), std::nullopt),
        .author = field(findNameFirst(page, "author"), std::nullopt, true),
        .copyright = field(findNameFirst(page, "copyright"), std::nullopt, true),
        .words = std::nullopt,
    };
    if (const auto& keywords = analysis.keywords.counter; keywords && keywords->count > 0)
        analysis.words = wordCounterOf(countWords(analysis.keywords.shown));
    return analysis;
}

} // namespace scan
