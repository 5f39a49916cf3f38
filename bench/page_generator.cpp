#include "bench/page_generator.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::array<const char*, 30> English{
    "bread",     "The",   "bakery",   "opens",  "at",       "six",    "every", "morning",
    "with",      "fresh", "rye",      "and",    "HTML",     "loaves", "cakes", "to",
    "order",     "for",   "Weddings", "seeded", "flour",    "ovens",  "warm",  "butter",
    "Sourdough", "crust", "local",    "market", "Saturday", "a"};
constexpr std::array<const char*, 30> EveryScript{
    "хлеб",  "Свежий", "каждое", "утро",     "пекарня", "crème", "pâtisserie", "café",
    "à",     "Zoë",    "面包",   "每天",     "早上",    "新鲜",  "焼きたて",   "パン",
    "毎朝",  "خبز",    "طازج",   "كل",       "صباح",    "مخبز",  "🍞",          "🥐",
    "bread", "and",    "the",    "Ελληνικά", "chleb",   "świeży"};

// A small linear congruential generator: the same page on every machine.
class Random {
public:
    std::uint32_t next(std::uint32_t below) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33) % below;
    }

private:
    std::uint64_t state_ = 42;
};

constexpr std::array<const char*, 15> Arabic{"مخبز",  "الحي",      "يفتح",    "في",   "السادسة",
                                             "صباحا", "كل",        "يوم",     "خبز",  "طازج",
                                             "وكعك",  "للمناسبات", "بالعالم", "2026", "مرحبا"};
constexpr std::array<const char*, 15> Hindi{"ताज़ी", "रोटी",    "हर",   "सुबह",   "छह",
                                            "बजे",   "क्षेत्र",    "की",   "बेकरी",  "खुलती",
                                            "है",    "स्वादिष्ट", "नमस्ते", "दुनिया", "2026"};

std::string words(Random& random, std::size_t length, Script script) {
    const auto pick = [&]() -> const char* {
        switch (script) {
        case Script::Every:
            return EveryScript[random.next(EveryScript.size())];
        case Script::Arabic:
            return Arabic[random.next(Arabic.size())];
        case Script::Hindi:
            return Hindi[random.next(Hindi.size())];
        case Script::English:
            break;
        }
        return English[random.next(English.size())];
    };
    std::string text;
    while (text.size() < length) {
        if (!text.empty())
            text += ' ';
        text += pick();
    }
    return text;
}

// One body line of 80 to 120 bytes.
std::string bodyLine(Random& random, std::size_t number, Script script) {
    const std::size_t length = 80 + random.next(41);
    const std::string n = std::to_string(number);
    std::string line;
    switch (random.next(4)) {
    case 0:
        line = "<p class=\"text\">" + words(random, length - 24, script) + "</p>";
        break;
    case 1:
        line = "<li><a href=\"/bread/" + n + ".html\">" +
               words(random, length - 35 - n.size(), script) + "</a></li>";
        break;
    case 2:
        line = "<div id=\"part-" + n + "\"><span>" + words(random, length - 36 - n.size(), script) +
               "</span></div>";
        break;
    default:
        line = "  <td>" + words(random, length - 12, script) + "</td>";
        break;
    }
    return line;
}

std::string sevenTags(const char* eol, Script script) {
    const std::string e = eol;
    if (script != Script::English)
        return "<title>Свежий хлеб каждое утро | 毎朝焼きたてパン | خبز طازج 🍞</title>" + e +
               "<meta name=\"description\" content=\"Пекарня на углу: pâtisserie, 面包 et خبز "
               "chaque matin.\">" +
               e + "<meta content=\"хлеб, pain, 面包, パン, خبز, 🍞\" name=\"keywords\">" + e +
               "<meta name=\"robots\" content=\"index, follow\" />" + e +
               "<meta name=\"abstract\" content=\"Пекарня\">" + e +
               "<meta name=\"author\" content=\"Zoë Boulanger\">" + e +
               "<meta name=\"copyright\" content=\"\xC2\xA9 2026 Пекарня\"/>" + e;
    return "<title>Fresh bread every morning | The Corner Bakery</title>" + e +
           "<meta name=\"description\" content=\"The Corner Bakery bakes sourdough, rye and "
           "seeded loaves every morning from six.\">" +
           e +
           "<meta content=\"bakery, bread, sourdough, rye, cakes, pastries\" name=\"keywords\">" +
           e + "<meta name=\"robots\" content=\"index, follow\" />" + e +
           "<meta name=\"abstract\" content=\"A neighbourhood bakery\">" + e +
           "<meta name=\"author\" content=\"Ann Baker\">" + e +
           "<meta name=\"copyright\" content=\"\xC2\xA9 2026 The Corner Bakery\"/>" + e;
}

} // namespace

std::string generatePage(const PageShape& shape) {
    const char* eol = shape.layout == Layout::OneLine ? "" : shape.crlf ? "\r\n" : "\n";
    const std::string tags = sevenTags(eol, shape.script);
    switch (shape.layout) {
    case Layout::NoBreak:
        return tags + std::string(shape.bytes, '<');
    case Layout::EmptyLines:
        return tags + std::string(shape.bytes, '\n');
    case Layout::LongTitle: {
        std::string keywords;
        keywords.reserve(shape.bytes);
        for (std::size_t i = 0; i < shape.bytes / 2; ++i)
            keywords += "a,";
        return "<title>" + std::string(shape.bytes, 'a') + "</title>\r\n<meta name=\"keywords\" " +
               "content=\"" + keywords + "\">\r\n" + tags;
    }
    case Layout::Lines:
    case Layout::OneLine:
        break;
    }
    const std::string end = std::string("</body>") + eol + "</html>" + eol;
    std::string page = std::string("<!DOCTYPE html>") + eol + "<html lang=\"en\">" + eol +
                       "<head>" + eol + "<meta charset=\"utf-8\">" + eol;
    if (shape.tags == Tags::Early)
        page += tags;
    page += std::string("</head>") + eol + "<body>" + eol;
    page.reserve(shape.bytes + 256);
    Random random;
    const std::size_t bodyEnd =
        shape.bytes - end.size() - (shape.tags == Tags::Late ? tags.size() : 0);
    for (std::size_t number = 1; page.size() + 122 < bodyEnd; ++number)
        page += bodyLine(random, number, shape.script) + eol;
    if (shape.tags == Tags::Late)
        page += tags;
    return page + end;
}
