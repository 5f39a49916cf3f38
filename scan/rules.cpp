#include "rules.h"

#include <algorithm>

namespace scan {

namespace {

// Lower case for the characters a page can hold: those of Windows-1252.
constexpr char16_t lower(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    switch (c) {
    case 0x0152: // Œ
    case 0x0160: // Š
    case 0x017D: // Ž
        return c + 1;
    case 0x0178: // Ÿ
        return 0x00FF;
    default:
        return c;
    }
}

} // namespace

std::u16string lowerCopy(Text page) {
    std::u16string copy(page.size(), u'\0');
    std::transform(page.begin(), page.end(), copy.begin(), lower);
    return copy;
}

Pos find(Text text, Text what, Pos from) {
    const auto start = static_cast<std::size_t>(std::max<Pos>(from, 1) - 1);
    if (start > text.size())
        return 0;
    const auto at = text.find(what, start);
    return at == Text::npos ? 0 : static_cast<Pos>(at) + 1;
}

Pos findBefore(Text text, Text what, Pos before) {
    const Pos lastStart = before - 1 - static_cast<Pos>(what.size()); // 0-based
    if (lastStart < 0)
        return 0;
    const auto at = text.rfind(what, static_cast<std::size_t>(lastStart));
    return at == Text::npos ? 0 : static_cast<Pos>(at) + 1;
}

Pos selfClosingAdjusted(Text page, Pos tagEnd) {
    const auto endsWith = [&](Pos end, Text ending) {
        const Pos first = end - static_cast<Pos>(ending.size()) + 1;
        return first >= 1 && end <= static_cast<Pos>(page.size()) &&
               page.substr(static_cast<std::size_t>(first - 1), ending.size()) == ending;
    };
    if (endsWith(tagEnd, u"\"/>"))
        tagEnd -= 1;
    if (endsWith(tagEnd, u"\" />"))
        tagEnd -= 2;
    return tagEnd;
}

Text extract(Text page, Pos tagStart, Pos tagEnd, Pos p, Pos q) {
    const Pos length = tagEnd - tagStart - q;
    const Pos from = tagStart + p - 1; // 0-based
    if (length <= 0 || from < 0 || from >= static_cast<Pos>(page.size()))
        return {};
    return page.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(length));
}

Text repairCopyrightSign(Text value) {
    return value.starts_with(u"\u00C2\u00A9") ? value.substr(1) : value;
}

} // namespace scan
