#include "random_texts.h"

#include "text_rules.h"

namespace model {

namespace {

// The pieces texts are made of, by kind.
enum Kind {
    Letters,
    Spaces,
    Breaks,
    Tabs,
    Controls,
    Latin1,
    Wide,
    Pairs,
    Marks,
    ZeroWidth,
    ByteOrderMark,
    RightToLeft,
    Shaped,
    KindCount
};

const std::vector<QString>& piecesOf(Kind kind) {
    static const std::vector<std::vector<QString>> pieces = {
        {"a", "b", "c", "x", "y", "z", "0", "7", "<", ">", "=", "\"", ".", ",", "-", "_", "/"},
        {" "},
        {"\r\n", "\r", "\n"},
        {"\t"},
        {QString(QChar(0)), "\x01", "\x1b", "\x7f", QString(QChar(0x85))},
        {QString(QChar(0xE9)), QString(QChar(0xDF)), QString(QChar(0xA0)), QString(QChar(0x20AC))},
        {QString(QChar(0x4E2D)), QString(QChar(0x6587)), QString(QChar(0x3042))},
        {QStringLiteral("\U0001F600"), QStringLiteral("\U0001F35E"), QStringLiteral("\U00020000")},
        {QString(QChar(0x301)), QString(QChar(0x30A)), QString(QChar(0x338))},
        {QString(QChar(0x200B)), QString(QChar(0x200C)), QString(QChar(0x200D)),
         QString(QChar(0x2060))},
        {QString(QChar(0xFEFF))},
        {QString(QChar(0x5E9)), QString(QChar(0x627)), QString(QChar(0x2028)), "שלום ", "مرحبا",
         " بالعالم", "\u0661\u0662", "\u2067", "\u2069", "\u200F"},
        // Letters that join, reorder or stack, and sequences drawn as one glyph.
        {"क्ष", "नमस्ते", "ខ្មែរ", "ภาษา", "\u1112\u1161\u11AB",
         "\U0001F468\u200D\U0001F469\u200D\U0001F467", "\U0001F1E9\U0001F1EA",
         "\U0001F44D\U0001F3FD", "\u2764\uFE0F"},
    };
    return pieces[kind];
}

} // namespace

Mix randomMix(Random& random) {
    Mix mix;
    mix.weights.assign(KindCount, 0);
    mix.weights[Letters] = 60;
    mix.weights[Spaces] = random.chance(80) ? random.between(5, 20) : 0;
    mix.weights[Breaks] = random.chance(70) ? random.between(1, 8) : 0;
    for (int kind = Tabs; kind < KindCount; ++kind)
        mix.weights[kind] = random.chance(35) ? random.between(1, 6) : 0;
    for (int weight : mix.weights)
        mix.total += weight;
    return mix;
}

QString randomPiece(Random& random, const Mix& mix) {
    int pick = random.below(mix.total);
    for (int kind = 0; kind < KindCount; ++kind) {
        if (pick < mix.weights[kind]) {
            const auto& pieces = piecesOf(static_cast<Kind>(kind));
            return pieces[static_cast<std::size_t>(random.below(static_cast<int>(pieces.size())))];
        }
        pick -= mix.weights[kind];
    }
    return QStringLiteral("a");
}

QString randomText(Random& random, const Mix& mix, int pieces) {
    QString text;
    for (int i = 0; i < pieces; ++i)
        text += randomPiece(random, mix);
    return text;
}

QString rowLongWords(Random& random, int length, int columns, bool lineBreaks, bool justTooLong) {
    // The word just too long to follow "ab ": one character less, and it does.
    const int word = justTooLong || random.chance(50) ? columns - 2
                     : random.chance(50)              ? columns - 1 + random.below(3)
                                                      : random.between(30, 160);
    QString text = random.chance(50)
                       ? QString(random.between(1, columns), QLatin1Char('y')) + QStringLiteral(" ")
                       : QString();
    while (text.size() < length)
        text += QStringLiteral("ab ") + QString(word, QLatin1Char('x')) +
                (!lineBreaks || random.chance(90) ? QStringLiteral(" ") : QStringLiteral("\r\n"));
    return text;
}

QString longLine(Random& random, const Mix& mix, int columns) {
    const int length = random.between(4100, 9000);
    QString line;
    const int shape = random.below(3);
    if (shape == 0) {
        line.fill(random.chance(50) ? QLatin1Char('<') : QLatin1Char('w'), length);
    } else if (shape == 1) {
        line = rowLongWords(random, length, columns, false);
    } else {
        while (line.size() < length) {
            line += QString(random.between(1, random.chance(20) ? 200 : 12), QLatin1Char('x'));
            line += random.chance(10) ? randomPiece(random, mix) : QStringLiteral(" ");
        }
    }
    return line;
}

QString veryLongLine(Random& random) {
    const int length = random.between(100'000, 1'000'000);
    // It starts with a row of 4,095 zero-width characters and a letter, then a row of one blank
    // where a word of x's after more of them does not fit after the blank: the row that a kept
    // row start after the word must not lengthen.
    const QString zeroWidth(QChar(0x200B));
    QString line = zeroWidth.repeated(4095) + QStringLiteral("w ") +
                   zeroWidth.repeated(random.between(1000, 3000)) +
                   QString(random.between(50, 300), QLatin1Char('x'));
    line.reserve(length + 5000);
    while (line.size() < length) {
        const int part =
            random.chance(50) ? random.between(1'000, 20'000) : random.between(20'000, 250'000);
        const qsizetype end = line.size() + part;
        switch (random.below(5)) {
        case 0: // words of every length
            while (line.size() < end)
                line += QString(random.between(1, random.chance(10) ? 60 : 10),
                                QLatin1Char('a' + random.below(26))) +
                        QLatin1Char(' ');
            break;
        case 1: // CJK: no blank to wrap at
            while (line.size() < end)
                line += QChar(0x4E00 + random.below(0x5000));
            break;
        case 2: // zero-width characters, rows of them, between short words
            while (line.size() < end) {
                line += QString(random.between(1, 5000), QChar(0x200B));
                line += random.chance(50) ? QStringLiteral("w ")
                                          : QString(random.between(1, 300), QLatin1Char('x'));
            }
            break;
        case 3: // a letter with a long run of combining marks
            while (line.size() < end)
                line += QLatin1Char('a') + QString(random.between(1, 3000), QChar(0x308)) +
                        QLatin1Char('b');
            break;
        default:
            line += QString(part, QLatin1Char('<'));
            break;
        }
    }
    return line;
}

QString typeable(const QString& piece) {
    if (piece.size() == 1 && (isBreak(piece[0]) || isControlChar(piece[0])))
        return QStringLiteral("a");
    if (piece == QStringLiteral("\r\n"))
        return QStringLiteral("a");
    return piece;
}

} // namespace model
