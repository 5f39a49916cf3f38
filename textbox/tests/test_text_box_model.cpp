// The text box against a model. Each run drives one box through random steps: typing, editing
// and moving keys, the mouse, the wheel and the scroll bar through real events, the box's slots
// and setters, resizes, wrap-mode and font changes. After every step the box is compared with a
// plain QString model of its text, caret, selection, clipboard and undo history, textChanged is
// counted, and the rows on screen are compared with a fresh box that lays the same text out at
// the same size, font and wrap mode, read as a screen reader reads it.
//
// Each run is reproducible from its number. TEXTBOX_MODEL_RUNS=N runs N runs from run
// TEXTBOX_MODEL_FIRST_RUN (default 1). A failing run prints the shortest sequence of its steps
// that still fails the same way, found by dropping steps and parts of texts and running again
// from the start.

#include "textbox/plain_text_box.h"
#include "textbox/windows1252.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHash>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// ---- Randomness, the same for the same run number everywhere ----

class Random {
public:
    explicit Random(std::uint64_t run) : state_(run * 0x9E3779B97F4A7C15ULL + 1) {}

    std::uint64_t next() {
        std::uint64_t z = state_ += 0x9E3779B97F4A7C15ULL;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }
    bool chance(int percent) { return below(100) < percent; }
    double fraction() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }

private:
    std::uint64_t state_;
};

// ---- What the box does, told from a QString ----

constexpr qsizetype MaxCluster = 32; // a character and its marks end a cluster at this length

bool isBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

bool isControlChar(QChar c) {
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0);
}

char32_t codePointAt(const QString& t, qsizetype p, qsizetype& length) {
    if (t[p].isHighSurrogate() && p + 1 < t.size() && t[p + 1].isLowSurrogate()) {
        length = 2;
        return QChar::surrogateToUcs4(t[p], t[p + 1]);
    }
    length = 1;
    return t[p].unicode();
}

// A CR LF, a line break, tab or control character alone, or a character with the combining
// marks after it.
qsizetype clusterLength(const QString& t, qsizetype p) {
    const QChar c = t[p];
    if (c == u'\r')
        return p + 1 < t.size() && t[p + 1] == u'\n' ? 2 : 1;
    if (c == u'\n' || c == u'\t' || isControlChar(c))
        return 1;
    qsizetype length = 0;
    codePointAt(t, p, length);
    while (p + length < t.size() && length < MaxCluster) {
        qsizetype markLength = 0;
        if (!QChar::isMark(codePointAt(t, p + length, markLength)))
            break;
        length += markLength;
    }
    return length;
}

qsizetype nextCluster(const QString& t, qsizetype p) {
    return p >= t.size() ? t.size() : p + clusterLength(t, p);
}

// The cluster boundary before `p`, the clusters counted from the start of the text.
qsizetype previousCluster(const QString& t, qsizetype p) {
    qsizetype before = 0;
    for (qsizetype at = 0; at < p; at += clusterLength(t, at))
        before = at;
    return before;
}

// What Backspace removes: a code point, or a CR LF whole.
qsizetype previousCharacter(const QString& t, qsizetype p) {
    if (p >= 2 && t[p - 1] == u'\n' && t[p - 2] == u'\r')
        return p - 2;
    if (p >= 2 && t[p - 1].isLowSurrogate() && t[p - 2].isHighSurrogate())
        return p - 2;
    return p - 1;
}

// Where the caret may stand: never inside a CR LF or a surrogate pair.
qsizetype boundaryFrom(const QString& t, qsizetype p) {
    p = std::clamp<qsizetype>(p, 0, t.size());
    if (p > 0 && p < t.size() &&
        ((t[p] == u'\n' && t[p - 1] == u'\r') ||
         (t[p].isLowSurrogate() && t[p - 1].isHighSurrogate())))
        return p + 1;
    return p;
}

enum class WordClass { LineBreak, Space, Word, Other };

WordClass wordClass(QChar c) {
    if (isBreak(c))
        return WordClass::LineBreak;
    if (c.isSpace())
        return WordClass::Space;
    if (c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || c == u'_')
        return WordClass::Word;
    return WordClass::Other;
}

bool isGap(QChar c) {
    const WordClass kind = wordClass(c);
    return kind == WordClass::LineBreak || kind == WordClass::Space;
}

// Word moves and a double click look at most this far from where they start.
constexpr qsizetype WordReach = 4096;

// Ctrl+Right: over the rest of a word or a run of other characters, then over spaces and line
// breaks.
qsizetype nextWord(const QString& t, qsizetype p) {
    const qsizetype last = std::min(t.size(), p + WordReach);
    if (p < last && !isGap(t[p])) {
        const WordClass kind = wordClass(t[p]);
        while (p < last && wordClass(t[p]) == kind)
            ++p;
    }
    while (p < last && isGap(t[p]))
        ++p;
    return boundaryFrom(t, p);
}

qsizetype previousWord(const QString& t, qsizetype p) {
    const qsizetype first = std::max<qsizetype>(0, p - WordReach);
    while (p > first && isGap(t[p - 1]))
        --p;
    if (p > first) {
        const WordClass kind = wordClass(t[p - 1]);
        while (p > first && wordClass(t[p - 1]) == kind)
            --p;
    }
    return boundaryFrom(t, p);
}

// Ctrl+Backspace and Ctrl+Delete, as in QPlainTextEdit: a word back or on within the line, or
// the one line break next to the caret.
qsizetype wordDeletedBack(const QString& t, qsizetype p) {
    if (p > 0 && isBreak(t[p - 1]))
        return previousCharacter(t, p);
    qsizetype from = previousWord(t, p);
    for (qsizetype at = from; at < p; ++at)
        if (isBreak(t[at]))
            from = at + 1;
    return from;
}

qsizetype wordDeletedOn(const QString& t, qsizetype p) {
    if (p < t.size() && isBreak(t[p]))
        return nextCluster(t, p);
    const qsizetype to = nextWord(t, p);
    for (qsizetype at = p; at < to; ++at)
        if (isBreak(t[at]))
            return at;
    return to;
}

// What a double click selects.
std::pair<qsizetype, qsizetype> wordAt(const QString& t, qsizetype p) {
    qsizetype at = p;
    if (at == t.size() || isBreak(t[at])) {
        if (at == 0 || isBreak(t[at - 1]))
            return {p, p};
        --at;
    }
    const WordClass kind = wordClass(t[at]);
    const qsizetype first = std::max<qsizetype>(0, at - WordReach);
    const qsizetype last = std::min(t.size(), at + WordReach);
    qsizetype start = at, end = at + 1;
    while (start > first && wordClass(t[start - 1]) == kind)
        --start;
    while (end < last && wordClass(t[end]) == kind)
        ++end;
    return {boundaryFrom(t, start), boundaryFrom(t, end)};
}

// ---- Text to start from and to type ----

// The pieces texts are made of, by kind; each run mixes some kinds in its own proportions.
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
        {QString(QChar(0x5E9)), QString(QChar(0x627)), QString(QChar(0x2028))},
    };
    return pieces[kind];
}

struct Mix {
    std::vector<int> weights; // by Kind
    int total = 0;
};

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

// Words of about a row's length after short ones, where a row's wrap turns on characters far
// into the next row: "ab " and a word of about `columns` x's, again and again.
QString rowLongWords(Random& random, int length, int columns, bool lineBreaks = true,
                     bool justTooLong = false) {
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

// A line longer than a long line's threshold in the box: of words of every length, of words of
// about a row's length, or of one character with nowhere to wrap.
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

// What a key can type: no line breaks or control characters.
QString typeable(const QString& piece) {
    if (piece.size() == 1 && (isBreak(piece[0]) || isControlChar(piece[0])))
        return QStringLiteral("a");
    if (piece == QStringLiteral("\r\n"))
        return QStringLiteral("a");
    return piece;
}

// ---- Steps ----

struct Step {
    enum Op {
        SetText,
        SetBytes, // setWindows1252Text; `text` holds one byte in each character
        Type,     // one key event for each piece
        Commit,   // an input method's commit string
        Key,      // a standard key, `number` a QKeySequence::StandardKey
        Backspace,
        Click,
        Drag,
        DoubleClick,
        Wheel,     // `number` wheel steps, down when positive
        ScrollBar, // `number` a slider action, or the value `x` of the range when 0
        Slot,      // `number`: cut, copy, paste, undo, redo, select all
        SetCursor, // at `x` of the length, a little past either end
        Resize,    // `number` a size
        Wrap,
        ReadOnly,
        Font, // `number` a font
        Clipboard,
        Paint,
    };
    Op op = Paint;
    QString text;
    QStringList pieces;
    int number = 0;
    bool shift = false;
    double x = 0, y = 0, x2 = 0, y2 = 0;
};

const QSize Sizes[] = {{700, 50}, {300, 120}, {120, 200}, {1000, 200}, {700, 130},
                       {900, 60}, {300, 25},  {500, 400}, {60, 100}};

QFont fontNumber(int number) {
    QFont font;
    if (number == 0) {
        font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
        font.setPointSizeF(9.75);
    } else {
        font.setFamilies({QStringLiteral("DejaVu Sans")});
        font.setPointSizeF(10);
    }
    return font;
}

const QKeySequence::StandardKey MoveKeys[] = {
    QKeySequence::MoveToNextChar,        QKeySequence::MoveToPreviousChar,
    QKeySequence::SelectNextChar,        QKeySequence::SelectPreviousChar,
    QKeySequence::MoveToNextWord,        QKeySequence::MoveToPreviousWord,
    QKeySequence::SelectNextWord,        QKeySequence::SelectPreviousWord,
    QKeySequence::MoveToNextLine,        QKeySequence::MoveToPreviousLine,
    QKeySequence::SelectNextLine,        QKeySequence::SelectPreviousLine,
    QKeySequence::MoveToNextPage,        QKeySequence::MoveToPreviousPage,
    QKeySequence::SelectNextPage,        QKeySequence::SelectPreviousPage,
    QKeySequence::MoveToStartOfLine,     QKeySequence::MoveToEndOfLine,
    QKeySequence::SelectStartOfLine,     QKeySequence::SelectEndOfLine,
    QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
    QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
};

const QKeySequence::StandardKey EditKeys[] = {
    QKeySequence::Delete,
    QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfWord,
    QKeySequence::Cut,
    QKeySequence::Copy,
    QKeySequence::Paste,
    QKeySequence::Undo,
    QKeySequence::Redo,
    QKeySequence::SelectAll,
    QKeySequence::InsertParagraphSeparator,
};

// The x's on a row of a box of this size and font.
int columnsOf(QSize size, int font) {
    static QHash<QPair<QSize, int>, int> known;
    const auto found = known.constFind({size, font});
    if (found != known.constEnd())
        return *found;
    PlainTextBox box;
    box.setFont(fontNumber(font));
    box.setVerticalScrollBarPolicy(size.height() > 30 ? Qt::ScrollBarAlwaysOn
                                                      : Qt::ScrollBarAlwaysOff);
    box.resize(size);
    box.show();
    box.setPlainText(QString(4000, QLatin1Char('x')));
    QTest::keyClick(&box, Qt::Key_End); // End stays before the wrap
    const int columns = static_cast<int>(box.cursorPosition()) + 1;
    known.insert({size, font}, columns);
    return columns;
}

Step stepOf(Step::Op op, int number = 0, const QString& text = {}) {
    Step step;
    step.op = op;
    step.number = number;
    step.text = text;
    return step;
}

std::vector<Step> randomSteps(std::uint64_t run) {
    Random random(run);
    const Mix mix = randomMix(random);
    std::vector<Step> steps;
    const auto add = [&](Step step) { steps.push_back(std::move(step)); };

    // Where the run starts: a size, a font, a wrap mode, a text. One run in four goes through
    // a long line of words about a row long in a wide box, editing at the ends of its rows.
    const bool rowEdits = random.chance(25);
    const int wide[] = {0, 3, 4, 5};
    add(stepOf(Step::Resize, rowEdits ? wide[random.below(4)]
                                      : random.below(static_cast<int>(std::size(Sizes)))));
    const int font = random.chance(25) ? 1 : 0;
    if (font == 1)
        add(stepOf(Step::Font, 1));
    if (!rowEdits && random.chance(20))
        add(stepOf(Step::Wrap));
    if (rowEdits) {
        const int columns = columnsOf(Sizes[steps.front().number], font);
        add(stepOf(Step::SetText, 0,
                   randomText(random, mix, random.between(0, 20)) +
                       rowLongWords(random, random.between(4100, 9000), columns, false, true)));
    } else if (random.chance(15)) {
        QString bytes;
        for (int i = random.between(0, 400); i > 0; --i)
            bytes += QChar(random.chance(50) ? random.between(0x20, 0x7E) : random.below(256));
        add(stepOf(Step::SetBytes, 0, bytes));
    } else {
        const int columns = columnsOf(Sizes[steps.front().number], font);
        QString text = random.chance(35) ? rowLongWords(random, random.between(100, 1500), columns)
                                         : randomText(random, mix, random.between(0, 300));
        if (random.chance(35))
            text.insert(random.below(static_cast<int>(text.size()) + 1),
                        longLine(random, mix, columns));
        add(stepOf(Step::SetText, 0, text));
    }
    add(stepOf(Step::Clipboard, 0, randomText(random, mix, random.between(0, 12))));

    for (int count = random.between(30, 120); count > 0; --count) {
        if (rowEdits && random.chance(35)) {
            // Somewhere in the line (laying it out there keeps some of its row starts), down or
            // up some rows, then an edit at the end of the row.
            if (random.chance(50)) {
                Step somewhere = stepOf(Step::SetCursor);
                somewhere.x = random.fraction();
                add(somewhere);
            }
            const int key =
                random.chance(60) ? QKeySequence::MoveToNextLine : QKeySequence::MoveToPreviousLine;
            for (int rows = random.below(24); rows > 0; --rows)
                add(stepOf(Step::Key, key));
            add(stepOf(Step::Key, QKeySequence::MoveToEndOfLine));
            add(random.chance(70) ? stepOf(Step::Backspace)
                                  : stepOf(Step::Key, QKeySequence::Delete));
            continue;
        }
        const int roll = random.below(1000);
        Step step;
        if (roll < 150) {
            step.op = Step::Type;
            for (int i = random.between(1, 4); i > 0; --i)
                step.pieces << typeable(randomPiece(random, mix));
        } else if (roll < 180) {
            step.op = Step::Commit;
            step.text = randomText(random, mix, random.between(1, 6));
        } else if (roll < 480) {
            step.op = Step::Key;
            step.number = MoveKeys[random.below(static_cast<int>(std::size(MoveKeys)))];
        } else if (roll < 640) {
            step.op = Step::Key;
            step.number = EditKeys[random.below(static_cast<int>(std::size(EditKeys)))];
        } else if (roll < 690) {
            step.op = Step::Backspace;
            step.shift = random.chance(20);
        } else if (roll < 730) {
            step.op = Step::Click;
            step.shift = random.chance(25);
        } else if (roll < 750) {
            step.op = Step::Drag;
        } else if (roll < 770) {
            step.op = Step::DoubleClick;
        } else if (roll < 790) {
            step.op = Step::Wheel;
            step.number = random.chance(50) ? random.between(1, 3) : -random.between(1, 3);
        } else if (roll < 830) {
            step.op = Step::ScrollBar;
            step.number = random.chance(30) ? 0 : random.between(1, 4);
        } else if (roll < 870) {
            step.op = Step::Slot;
            step.number = random.below(6);
        } else if (roll < 900) {
            step.op = Step::SetCursor;
        } else if (roll < 920) {
            step.op = Step::Resize;
            step.number = random.below(static_cast<int>(std::size(Sizes)));
        } else if (roll < 935) {
            step.op = Step::Wrap;
        } else if (roll < 945) {
            step.op = Step::ReadOnly;
        } else if (roll < 950) {
            step.op = Step::Font;
            step.number = random.below(2);
        } else if (roll < 970) {
            step.op = Step::Clipboard;
            step.text = randomText(random, mix, random.between(0, 20));
        } else if (roll < 980) {
            step.op = Step::SetText;
            step.text = randomText(random, mix, random.between(0, 200));
        } else {
            step.op = Step::Paint;
        }
        // A click at a row's right end puts the caret at its end, where edits re-wrap rows.
        step.x = random.chance(30) ? 0.999 : random.fraction();
        step.y = random.fraction();
        step.x2 = random.fraction();
        step.y2 = random.fraction();
        // An edit at a row's end re-wraps the rows about it.
        const bool atRowEnd =
            (step.op == Step::Key && step.number == QKeySequence::MoveToEndOfLine) ||
            (step.op == Step::Click && step.x > 0.99);
        add(std::move(step));
        if (atRowEnd && random.chance(50))
            add(stepOf(Step::Backspace));
    }
    return steps;
}

QString quotedRuns(const QString& text);

// A text as C++ would write it, a piece said again and again and runs of one character
// shortened: ("ab " "x"x93)x40.
QString quoted(const QString& text) {
    for (qsizetype at = 0; at < text.size(); ++at)
        for (qsizetype unit = 2; unit <= 300 && at + 3 * unit <= text.size(); ++unit) {
            qsizetype times = 1;
            while (at + (times + 1) * unit <= text.size() &&
                   QStringView(text).mid(at + times * unit, unit) ==
                       QStringView(text).mid(at, unit))
                ++times;
            const bool oneCharacter = QStringView(text).mid(at, unit).count(text[at]) == unit;
            if (times >= 3 && !oneCharacter) {
                QString out;
                if (at > 0)
                    out += quotedRuns(text.left(at)) + QLatin1Char(' ');
                out += QStringLiteral("(%1)x%2").arg(quotedRuns(text.mid(at, unit))).arg(times);
                if (at + times * unit < text.size())
                    out += QLatin1Char(' ') + quoted(text.mid(at + times * unit));
                return out;
            }
        }
    return quotedRuns(text);
}

QString quotedRuns(const QString& text) {
    QString out;
    bool open = false;
    const auto openQuote = [&] {
        if (!open)
            out += out.isEmpty() ? QStringLiteral("\"") : QStringLiteral(" \"");
        open = true;
    };
    for (qsizetype i = 0; i < text.size();) {
        qsizetype run = 1;
        while (i + run < text.size() && text[i + run] == text[i])
            ++run;
        const QChar c = text[i];
        QString one;
        if (c == u'\r')
            one = QStringLiteral("\\r");
        else if (c == u'\n')
            one = QStringLiteral("\\n");
        else if (c == u'\t')
            one = QStringLiteral("\\t");
        else if (c == u'"' || c == u'\\')
            one = QStringLiteral("\\") + c;
        else if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            one = c;
        else
            one = QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        if (run >= 6) {
            if (open)
                out += QLatin1Char('"');
            open = false;
            out += QStringLiteral("%1\"%2\"x%3").arg(out.isEmpty() ? "" : " ", one).arg(run);
            i += run;
        } else {
            openQuote();
            out += one;
            ++i;
        }
    }
    if (open)
        out += QLatin1Char('"');
    return out.isEmpty() ? QStringLiteral("\"\"") : out;
}

QString keyName(int key) {
    return QKeySequence(static_cast<QKeySequence::StandardKey>(key)).toString();
}

// ---- The run ----

struct Failure {
    QString check; // which comparison failed: the shrinking keeps to it
    QString message;
};

struct Edit {
    qsizetype position;
    QString removed;
    QString inserted;
};

// What the box should hold, told by a QString and the rules above.
struct Model {
    QString text;
    qsizetype caret = 0;
    qsizetype anchor = 0;
    std::vector<Edit> undo, redo;
    bool typing = false; // typing now joins the last undo step
    bool readOnly = false;
    QString clipboard;
    int changes = 0; // textChanged signals this step should send

    // Up and Down keep the x where a run of them began: the run's start and keys, replayed in a
    // fresh box, give where the caret goes; a resize or a select all in the run leaves that x
    // unknown.
    enum class Goal { None, Known, Unknown } goal = Goal::None;
    qsizetype runStart = 0;
    std::vector<int> runKeys;

    std::pair<qsizetype, qsizetype> selection() const { return std::minmax(caret, anchor); }
    QString selected() const {
        const auto [from, to] = selection();
        return text.mid(from, to - from);
    }

    void setText(const QString& newText) {
        text = newText;
        caret = anchor = 0;
        undo.clear();
        redo.clear();
        typing = false;
        goal = Goal::None;
        ++changes;
    }

    void setCaret(qsizetype position, bool select) {
        caret = boundaryFrom(text, position);
        if (!select)
            anchor = caret;
    }

    void replace(qsizetype from, qsizetype to, const QString& inserted, bool typed) {
        if (readOnly || (from == to && inserted.isEmpty()))
            return;
        if (typed && typing && from == to && !undo.empty() &&
            undo.back().position + undo.back().inserted.size() == from) {
            undo.back().inserted += inserted;
        } else {
            undo.push_back({from, text.mid(from, to - from), inserted});
            redo.clear();
        }
        typing = typed;
        text.replace(from, to - from, inserted);
        caret = anchor = boundaryFrom(text, from + inserted.size());
        goal = Goal::None;
        ++changes;
    }
    void replaceSelection(const QString& inserted, bool typed) {
        const auto [from, to] = selection();
        replace(from, to, inserted, typed);
    }
    void removeOr(qsizetype from, qsizetype to) {
        if (caret != anchor)
            replaceSelection({}, false);
        else
            replace(std::min(from, to), std::max(from, to), {}, false);
    }

    void undoStep() {
        if (readOnly || undo.empty())
            return;
        Edit edit = undo.back();
        undo.pop_back();
        text.replace(edit.position, edit.inserted.size(), edit.removed);
        caret = anchor = boundaryFrom(text, edit.position + edit.removed.size());
        redo.push_back(std::move(edit));
        typing = false;
        goal = Goal::None;
        ++changes;
    }
    void redoStep() {
        if (readOnly || redo.empty())
            return;
        Edit edit = redo.back();
        redo.pop_back();
        text.replace(edit.position, edit.removed.size(), edit.inserted);
        caret = anchor = boundaryFrom(text, edit.position + edit.inserted.size());
        undo.push_back(std::move(edit));
        typing = false;
        goal = Goal::None;
        ++changes;
    }
    void copy() {
        if (caret != anchor)
            clipboard = selected();
    }
    void cut() {
        if (readOnly || caret == anchor)
            return;
        copy();
        replaceSelection({}, false);
    }
    void keepGoalUnknown() {
        if (goal != Goal::None)
            goal = Goal::Unknown;
    }
};

// A row as a fresh box lays it out: its characters [start, end), the next row at `next`.
struct Row {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
    bool endsLine = true;
};

QAccessibleTextInterface* accessibleText(PlainTextBox& box) {
    return QAccessible::queryAccessibleInterface(&box)->textInterface();
}

class Run {
public:
    Run(PlainTextBox& fresh, std::vector<QString>* log) : fresh_(fresh), log_(log) {
        QGuiApplication::clipboard()->setText(QString());
        box_ = std::make_unique<PlainTextBox>();
        box_->setFont(fontNumber(0));
        box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box_->resize(Sizes[1]);
        box_->show();
        QObject::connect(box_.get(), &PlainTextBox::textChanged, [this] { ++changes_; });
    }

    std::optional<Failure> step(const Step& step);

private:
    // The box and the model, side by side.
    std::optional<Failure> act(const Step& step);
    std::optional<Failure> key(int key);
    std::optional<Failure> verticalMove(int key, bool select);
    std::optional<Failure> mouseAt(QPoint point, Qt::KeyboardModifiers modifiers, bool press);

    // The checks after each step.
    std::optional<Failure> compare(bool caretShown);
    std::optional<Failure> compareRows(bool caretShown);
    std::optional<Failure> compareWidths(int rowIndex, qsizetype from, qsizetype end, int y);

    // The fresh box, which lays out the model's text with no history.
    void freshen();
    Row rowAt(qsizetype position);
    Row rowOf(qsizetype start, qsizetype next) const;
    qsizetype rowEnd(const Row& row) const;
    QPoint global(QPoint point) const { return box_->viewport()->mapToGlobal(point); }
    int at(QPoint point) { return accessibleText(*box_)->offsetAtPoint(global(point)); }
    QPoint pointIn(double x, double y) const;
    void say(const QString& line) {
        if (log_)
            log_->push_back(line);
    }

    PlainTextBox& fresh_;
    std::unique_ptr<PlainTextBox> box_;
    std::vector<QString>* log_;
    Model model_;
    int changes_ = 0;
    bool wrapping_ = true;
};

Failure fail(const QString& check, const QString& message) {
    return {check, message};
}

QString span(qsizetype from, qsizetype to) {
    return QStringLiteral("[%1,%2)").arg(from).arg(to);
}

void Run::freshen() {
    if (fresh_.font() != box_->font())
        fresh_.setFont(box_->font());
    fresh_.setVerticalScrollBarPolicy(box_->verticalScrollBarPolicy());
    if (fresh_.size() != box_->size())
        fresh_.resize(box_->size());
    if (fresh_.lineWrapMode() != box_->lineWrapMode())
        fresh_.setLineWrapMode(box_->lineWrapMode());
    fresh_.setPlainText(model_.text);
    if (fresh_.viewport()->size() != box_->viewport()->size())
        qFatal("The fresh box is %dx%d, the box %dx%d", fresh_.viewport()->width(),
               fresh_.viewport()->height(), box_->viewport()->width(), box_->viewport()->height());
}

Row Run::rowOf(qsizetype start, qsizetype next) const {
    const QString& t = model_.text;
    if (next > start && isBreak(t[next - 1])) {
        qsizetype end = next - 1;
        if (t[end] == u'\n' && end > start && t[end - 1] == u'\r')
            --end;
        return {start, end, next, true};
    }
    return {start, next, next, next == t.size()};
}

// The row of a fresh layout that holds the caret at `position`: from where Home and End take
// the caret in the fresh box. End stops at the line break of a row that ends a line, and
// before the last cluster of a row that wraps.
Row Run::rowAt(qsizetype position) {
    const QString& t = model_.text;
    // Inside a CR LF or a surrogate pair, the row of the character it is inside.
    if (boundaryFrom(t, position) != position)
        --position;
    fresh_.setCursorPosition(position);
    QTest::keyClick(&fresh_, Qt::Key_Home);
    const qsizetype start = fresh_.cursorPosition();
    QTest::keyClick(&fresh_, Qt::Key_End);
    const qsizetype end = fresh_.cursorPosition();
    if (end == t.size())
        return {start, end, end, true};
    if (isBreak(t[end]))
        return {start, end,
                end + (t[end] == u'\r' && end + 1 < t.size() && t[end + 1] == u'\n' ? 2 : 1), true};
    const qsizetype next = nextCluster(t, end);
    return {start, next, next, false};
}

// Where End goes on a row: before the last cluster of a row that wraps.
qsizetype Run::rowEnd(const Row& row) const {
    return row.endsLine ? row.end : previousCluster(model_.text, row.end);
}

QPoint Run::pointIn(double x, double y) const {
    const QSize size = box_->viewport()->size();
    return {static_cast<int>(x * size.width()), static_cast<int>(y * size.height())};
}

std::optional<Failure> Run::step(const Step& step) {
    changes_ = 0;
    model_.changes = 0;
    if (auto failure = act(step))
        return failure;
    // The caret shows after every key that moves it, every edit and setCursorPosition.
    bool moveKey = false;
    for (QKeySequence::StandardKey key : MoveKeys)
        moveKey = moveKey || (step.op == Step::Key && step.number == key);
    return compare(moveKey || step.op == Step::SetCursor ||
                   (model_.changes > 0 && step.op != Step::SetText && step.op != Step::SetBytes));
}

std::optional<Failure> Run::act(const Step& step) {
    PlainTextBox& box = *box_;
    Model& m = model_;
    switch (step.op) {
    case Step::SetText:
        say(QStringLiteral("setPlainText(%1)").arg(quoted(step.text)));
        box.setPlainText(step.text);
        m.setText(step.text);
        break;
    case Step::SetBytes: {
        say(QStringLiteral("setWindows1252Text(bytes %1)").arg(quoted(step.text)));
        auto bytes = std::make_shared<std::string>();
        QString text;
        for (QChar c : step.text) {
            bytes->push_back(static_cast<char>(c.unicode()));
            text += QChar(textbox::windows1252(static_cast<unsigned char>(c.unicode())));
        }
        box.setWindows1252Text(std::move(bytes));
        m.setText(text);
        break;
    }
    case Step::Type:
        say(QStringLiteral("type %1").arg(quoted(step.pieces.join(QString()))));
        for (const QString& piece : step.pieces) {
            QTest::sendKeyEvent(QTest::Click, &box, piece == u"\t" ? Qt::Key_Tab : Qt::Key_A, piece,
                                Qt::NoModifier);
            m.replaceSelection(piece, true);
        }
        break;
    case Step::Commit: {
        say(QStringLiteral("input method commits %1").arg(quoted(step.text)));
        QInputMethodEvent commit;
        commit.setCommitString(step.text);
        QApplication::sendEvent(&box, &commit);
        m.replaceSelection(step.text, true);
        break;
    }
    case Step::Key:
        say(QStringLiteral("key %1").arg(keyName(step.number)));
        return key(step.number);
    case Step::Backspace: {
        say(step.shift ? QStringLiteral("key Shift+Backspace") : QStringLiteral("key Backspace"));
        QTest::keyClick(&box, Qt::Key_Backspace, step.shift ? Qt::ShiftModifier : Qt::NoModifier);
        const qsizetype caret = m.caret;
        m.removeOr(caret > 0 ? previousCharacter(m.text, caret) : 0, caret);
        break;
    }
    case Step::Click: {
        const QPoint point = pointIn(step.x, step.y);
        say(QStringLiteral("%1click at (%2, %3)")
                .arg(step.shift ? "Shift+" : "")
                .arg(point.x())
                .arg(point.y()));
        if (auto failure = mouseAt(point, step.shift ? Qt::ShiftModifier : Qt::NoModifier, true))
            return failure;
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, point);
        break;
    }
    case Step::Drag: {
        const QPoint from = pointIn(step.x, step.y), to = pointIn(step.x2, step.y2);
        say(QStringLiteral("drag from (%1, %2) to (%3, %4)")
                .arg(from.x())
                .arg(from.y())
                .arg(to.x())
                .arg(to.y()));
        if (auto failure = mouseAt(from, {}, true))
            return failure;
        if (auto failure = mouseAt(to, {}, false))
            return failure;
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, to);
        break;
    }
    case Step::DoubleClick: {
        const QPoint point = pointIn(step.x, step.y);
        say(QStringLiteral("double click at (%1, %2)").arg(point.x()).arg(point.y()));
        if (auto failure = mouseAt(point, {}, true))
            return failure;
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(box.viewport(), Qt::LeftButton, {}, point);
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, point);
        const auto [from, to] = wordAt(m.text, m.caret);
        m.setCaret(from, false);
        m.setCaret(to, true);
        break;
    }
    case Step::Wheel: {
        say(QStringLiteral("wheel %1 steps %2")
                .arg(std::abs(step.number))
                .arg(step.number > 0 ? "down" : "up"));
        const QPointF point(5, 5);
        QWheelEvent wheel(point, box.viewport()->mapToGlobal(point), {},
                          {0, -step.number * QWheelEvent::DefaultDeltasPerStep}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(box.viewport(), &wheel);
        break;
    }
    case Step::ScrollBar: {
        QScrollBar* bar = box.verticalScrollBar();
        if (step.number == 0) {
            const int value =
                bar->minimum() + static_cast<int>(step.x * (bar->maximum() - bar->minimum() + 1));
            say(QStringLiteral("scroll bar to %1 of %2").arg(value).arg(bar->maximum()));
            bar->setValue(value);
        } else {
            const char* names[] = {"", "one step down", "one step up", "a page down", "a page up"};
            say(QStringLiteral("scroll bar %1").arg(names[step.number]));
            bar->triggerAction(static_cast<QAbstractSlider::SliderAction>(step.number));
        }
        break;
    }
    case Step::Slot: {
        const char* names[] = {"cut", "copy", "paste", "undo", "redo", "selectAll"};
        say(QStringLiteral("%1()").arg(names[step.number]));
        switch (step.number) {
        case 0:
            box.cut();
            m.cut();
            break;
        case 1:
            box.copy();
            m.copy();
            break;
        case 2:
            box.paste();
            m.replaceSelection(m.clipboard, false);
            break;
        case 3:
            box.undo();
            m.undoStep();
            break;
        case 4:
            box.redo();
            m.redoStep();
            break;
        default:
            box.selectAll();
            m.typing = false;
            m.keepGoalUnknown();
            m.anchor = 0;
            m.setCaret(m.text.size(), true);
            break;
        }
        break;
    }
    case Step::SetCursor: {
        const auto position = static_cast<qsizetype>(step.x * (m.text.size() + 3)) - 1;
        say(QStringLiteral("setCursorPosition(%1)").arg(position));
        box.setCursorPosition(position);
        m.typing = false;
        m.goal = Model::Goal::None;
        m.setCaret(std::max<qsizetype>(position, 0), false);
        break;
    }
    case Step::Resize: {
        const QSize size = Sizes[step.number];
        say(QStringLiteral("resize to %1x%2").arg(size.width()).arg(size.height()));
        // As the program has them: a scroll bar on the multi-line boxes only.
        box.setVerticalScrollBarPolicy(size.height() > 30 ? Qt::ScrollBarAlwaysOn
                                                          : Qt::ScrollBarAlwaysOff);
        box.resize(size);
        m.keepGoalUnknown();
        break;
    }
    case Step::Wrap:
        wrapping_ = !wrapping_;
        say(wrapping_ ? QStringLiteral("wrap at the width") : QStringLiteral("no wrapping"));
        box.setLineWrapMode(wrapping_ ? PlainTextBox::WidgetWidth : PlainTextBox::NoWrap);
        m.keepGoalUnknown();
        break;
    case Step::ReadOnly:
        m.readOnly = !m.readOnly;
        say(QStringLiteral("setReadOnly(%1)").arg(m.readOnly ? "true" : "false"));
        box.setReadOnly(m.readOnly);
        break;
    case Step::Font:
        say(QStringLiteral("font %1").arg(fontNumber(step.number).families().front()));
        box.setFont(fontNumber(step.number));
        m.keepGoalUnknown();
        break;
    case Step::Clipboard:
        say(QStringLiteral("clipboard set to %1").arg(quoted(step.text)));
        QGuiApplication::clipboard()->setText(step.text);
        m.clipboard = step.text;
        break;
    case Step::Paint:
        say(QStringLiteral("paint"));
        box.viewport()->grab();
        break;
    }
    return std::nullopt;
}

std::optional<Failure> Run::key(int key) {
    PlainTextBox& box = *box_;
    Model& m = model_;
    const auto standard = static_cast<QKeySequence::StandardKey>(key);
    const bool select =
        key == QKeySequence::SelectNextChar || key == QKeySequence::SelectPreviousChar ||
        key == QKeySequence::SelectNextWord || key == QKeySequence::SelectPreviousWord ||
        key == QKeySequence::SelectNextLine || key == QKeySequence::SelectPreviousLine ||
        key == QKeySequence::SelectNextPage || key == QKeySequence::SelectPreviousPage ||
        key == QKeySequence::SelectStartOfLine || key == QKeySequence::SelectEndOfLine ||
        key == QKeySequence::SelectStartOfDocument || key == QKeySequence::SelectEndOfDocument;
    switch (standard) {
    case QKeySequence::MoveToNextLine:
    case QKeySequence::SelectNextLine:
    case QKeySequence::MoveToPreviousLine:
    case QKeySequence::SelectPreviousLine:
    case QKeySequence::MoveToNextPage:
    case QKeySequence::SelectNextPage:
    case QKeySequence::MoveToPreviousPage:
    case QKeySequence::SelectPreviousPage:
        return verticalMove(key, select);
    default:
        break;
    }
    // What the caret's row is, before the key.
    std::optional<Row> row;
    const bool rowKey =
        standard == QKeySequence::MoveToStartOfLine || standard == QKeySequence::MoveToEndOfLine ||
        standard == QKeySequence::SelectStartOfLine || standard == QKeySequence::SelectEndOfLine;
    if (rowKey) {
        freshen();
        row = rowAt(m.caret);
    }
    QTest::keySequence(&box, QKeySequence(standard));
    const auto [from, to] = m.selection();
    const bool none = from == to;
    const auto move = [&](qsizetype target, bool selecting) {
        m.typing = false;
        m.goal = Model::Goal::None;
        m.setCaret(target, selecting);
    };
    switch (standard) {
    case QKeySequence::MoveToNextChar:
        move(none ? nextCluster(m.text, m.caret) : to, false);
        break;
    case QKeySequence::MoveToPreviousChar:
        move(none ? previousCluster(m.text, m.caret) : from, false);
        break;
    case QKeySequence::SelectNextChar:
        move(nextCluster(m.text, m.caret), true);
        break;
    case QKeySequence::SelectPreviousChar:
        move(previousCluster(m.text, m.caret), true);
        break;
    case QKeySequence::MoveToNextWord:
    case QKeySequence::SelectNextWord:
        move(nextWord(m.text, m.caret), select);
        break;
    case QKeySequence::MoveToPreviousWord:
    case QKeySequence::SelectPreviousWord:
        move(previousWord(m.text, m.caret), select);
        break;
    case QKeySequence::MoveToStartOfLine:
    case QKeySequence::SelectStartOfLine:
        move(row->start, select);
        break;
    case QKeySequence::MoveToEndOfLine:
    case QKeySequence::SelectEndOfLine:
        move(rowEnd(*row), select);
        break;
    case QKeySequence::MoveToStartOfDocument:
    case QKeySequence::SelectStartOfDocument:
        move(0, select);
        break;
    case QKeySequence::MoveToEndOfDocument:
    case QKeySequence::SelectEndOfDocument:
        move(m.text.size(), select);
        break;
    case QKeySequence::Delete:
        m.removeOr(m.caret, nextCluster(m.text, m.caret));
        break;
    case QKeySequence::DeleteStartOfWord:
        m.removeOr(wordDeletedBack(m.text, m.caret), m.caret);
        break;
    case QKeySequence::DeleteEndOfWord:
        m.removeOr(m.caret, wordDeletedOn(m.text, m.caret));
        break;
    case QKeySequence::Cut:
        m.cut();
        break;
    case QKeySequence::Copy:
        m.copy();
        break;
    case QKeySequence::Paste:
        m.replaceSelection(m.clipboard, false);
        break;
    case QKeySequence::Undo:
        m.undoStep();
        break;
    case QKeySequence::Redo:
        m.redoStep();
        break;
    case QKeySequence::SelectAll:
        m.typing = false;
        m.keepGoalUnknown();
        m.anchor = 0;
        m.setCaret(m.text.size(), true);
        break;
    case QKeySequence::InsertParagraphSeparator:
        m.replaceSelection(QStringLiteral("\r\n"), true);
        break;
    default:
        break;
    }
    return std::nullopt;
}

// Up, Down, Page Up and Page Down: where a fresh box puts the caret after the same keys from
// where their run began; where that x is unknown, on the row the key goes to.
std::optional<Failure> Run::verticalMove(int key, bool select) {
    Model& m = model_;
    const bool down = key == QKeySequence::MoveToNextLine || key == QKeySequence::SelectNextLine ||
                      key == QKeySequence::MoveToNextPage || key == QKeySequence::SelectNextPage;
    const bool page = key == QKeySequence::MoveToNextPage || key == QKeySequence::SelectNextPage ||
                      key == QKeySequence::MoveToPreviousPage ||
                      key == QKeySequence::SelectPreviousPage;
    const int plain =
        page ? (down ? QKeySequence::MoveToNextPage : QKeySequence::MoveToPreviousPage)
             : (down ? QKeySequence::MoveToNextLine : QKeySequence::MoveToPreviousLine);
    const qsizetype before = m.caret;
    QTest::keySequence(box_.get(), QKeySequence(static_cast<QKeySequence::StandardKey>(key)));
    m.typing = false;
    if (m.goal == Model::Goal::None) {
        m.goal = Model::Goal::Known;
        m.runStart = m.caret;
        m.runKeys.clear();
    }
    m.runKeys.push_back(plain);
    freshen();
    if (m.goal == Model::Goal::Known) {
        fresh_.setCursorPosition(m.runStart);
        for (int runKey : m.runKeys)
            QTest::keySequence(&fresh_,
                               QKeySequence(static_cast<QKeySequence::StandardKey>(runKey)));
        m.setCaret(fresh_.cursorPosition(), select);
        return std::nullopt;
    }
    // The x is unknown: the caret must be on the row the key goes to.
    const qsizetype caret = box_->cursorPosition();
    if (!page) {
        const Row row = rowAt(before);
        std::optional<Row> target;
        if (down && row.end < m.text.size())
            target = rowAt(row.next);
        else if (!down && row.start > 0)
            target = rowAt(row.start - 1);
        const qsizetype low = target ? target->start : (down ? m.text.size() : 0);
        const qsizetype high = target ? target->end : low;
        if (caret < low || caret > high)
            return fail(QStringLiteral("vertical"),
                        QStringLiteral("the caret went from %1 to %2, not onto the row %3")
                            .arg(before)
                            .arg(caret)
                            .arg(span(low, high)));
    }
    if (caret != boundaryFrom(m.text, caret))
        return fail(QStringLiteral("vertical"),
                    QStringLiteral("the caret went to %1, inside a character").arg(caret));
    m.setCaret(caret, select);
    return std::nullopt;
}

// A press (or a move with the button held) at `point`: where a fresh box showing the same rows
// puts the caret. Without wrapping, the view's sideways scroll is the box's own: the caret must
// be on the line pressed.
std::optional<Failure> Run::mouseAt(QPoint point, Qt::KeyboardModifiers modifiers, bool press) {
    Model& m = model_;
    const int top = at({-1000, 0});
    if (press)
        QTest::mousePress(box_->viewport(), Qt::LeftButton, modifiers, point);
    else
        QTest::mouseMove(box_->viewport(), point);
    const bool select = !press || (modifiers & Qt::ShiftModifier);
    if (press) {
        m.typing = false;
        m.goal = Model::Goal::None;
    }
    freshen();
    if (wrapping_) {
        fresh_.verticalScrollBar()->setValue(top);
        const int expected =
            accessibleText(fresh_)->offsetAtPoint(fresh_.viewport()->mapToGlobal(point));
        m.setCaret(expected, select);
        return std::nullopt;
    }
    const qsizetype caret = box_->cursorPosition();
    const int line = at({-1000, point.y()});
    const Row row = rowAt(line);
    if (caret < line || caret > row.end || caret != boundaryFrom(m.text, caret))
        return fail(QStringLiteral("mouse"),
                    QStringLiteral("a press at (%1, %2) put the caret at %3, not on the line %4")
                        .arg(point.x())
                        .arg(point.y())
                        .arg(caret)
                        .arg(span(line, row.end)));
    m.setCaret(caret, select);
    return std::nullopt;
}

std::optional<Failure> Run::compare(bool caretShown) {
    PlainTextBox& box = *box_;
    const Model& m = model_;
    const QString text = box.toPlainText();
    if (text != m.text)
        return fail(
            QStringLiteral("text"),
            QStringLiteral("the box holds %1, the model %2").arg(quoted(text), quoted(m.text)));
    if (box.length() != m.text.size())
        return fail(
            QStringLiteral("length"),
            QStringLiteral("length() is %1, the text has %2").arg(box.length()).arg(m.text.size()));
    if (changes_ != m.changes)
        return fail(QStringLiteral("textChanged"),
                    QStringLiteral("textChanged was sent %1 times, expected %2")
                        .arg(changes_)
                        .arg(m.changes));
    QAccessibleTextInterface* accessible = accessibleText(box);
    int from = 0, to = 0;
    accessible->selection(0, &from, &to);
    const qsizetype caret = box.cursorPosition();
    const qsizetype anchor =
        accessible->selectionCount() == 0 ? caret : (caret == from ? to : from);
    if (caret != m.caret || anchor != m.anchor)
        return fail(QStringLiteral("caret"),
                    QStringLiteral("caret %1 and anchor %2, expected %3 and %4")
                        .arg(caret)
                        .arg(anchor)
                        .arg(m.caret)
                        .arg(m.anchor));
    if (box.selectedText() != m.selected())
        return fail(QStringLiteral("selectedText"),
                    QStringLiteral("selectedText() is %1, expected %2")
                        .arg(quoted(box.selectedText()), quoted(m.selected())));
    // What the box says a screen reader of the caret's line, against a fresh box.
    int start = 0, next = 0;
    accessible->textAtOffset(static_cast<int>(caret), QAccessible::LineBoundary, &start, &next);
    freshen();
    int freshStart = 0, freshNext = 0;
    accessibleText(fresh_)->textAtOffset(static_cast<int>(caret), QAccessible::LineBoundary,
                                         &freshStart, &freshNext);
    if (start != freshStart || next != freshNext)
        return fail(QStringLiteral("caret line"),
                    QStringLiteral("the box puts the caret at %1 on the line %2, a fresh box on %3")
                        .arg(caret)
                        .arg(span(start, next))
                        .arg(span(freshStart, freshNext)));
    const QString clipboard = QGuiApplication::clipboard()->text();
    if (clipboard != m.clipboard)
        return fail(QStringLiteral("clipboard"),
                    QStringLiteral("the clipboard holds %1, expected %2")
                        .arg(quoted(clipboard), quoted(m.clipboard)));
    return compareRows(caretShown);
}

// The rows on screen, read at the left and right of each, against the rows of a fresh layout
// from the same top row.
std::optional<Failure> Run::compareRows(bool caretShown) {
    PlainTextBox& box = *box_;
    QAccessibleTextInterface* accessible = accessibleText(box);
    const QString& t = model_.text;
    freshen();
    const int vw = box.viewport()->width(), vh = box.viewport()->height();
    const int left0 = at({-1000, 0});
    const QRect first = accessible->characterRect(left0);
    if (first.isNull())
        return fail(
            QStringLiteral("rows"),
            QStringLiteral("the top row's first position %1 has no place on screen").arg(left0));
    const int y0 = box.viewport()->mapFromGlobal(first.topLeft()).y();
    const int lineHeight = first.height();
    const bool oneLine = !QAccessible::queryAccessibleInterface(&box)->state().multiLine;
    const int fullRows = oneLine ? 1 : (vh - 2 * y0) / lineHeight;
    const int onScreen = oneLine ? 1 : (vh - y0 + lineHeight - 1) / lineHeight;

    std::vector<Row> rows{rowAt(left0)};
    if (wrapping_ && rows[0].start != left0)
        return fail(QStringLiteral("rows"),
                    QStringLiteral("the top row starts at %1, inside the row %2 of a fresh layout")
                        .arg(left0)
                        .arg(span(rows[0].start, rows[0].next)));
    while (static_cast<int>(rows.size()) < std::max(onScreen, fullRows) &&
           rows.back().end < t.size())
        rows.push_back(rowAt(rows.back().next));
    qsizetype shift = -1; // without wrapping, the characters of each line left of the view
    for (int k = 0; k < onScreen; ++k) {
        const Row& row = rows[std::min(static_cast<std::size_t>(k), rows.size() - 1)];
        const int y = y0 + k * lineHeight + lineHeight / 2;
        const int left = at({-1000, y});
        if (wrapping_) {
            const int right = at({vw + 1000, y});
            if (left != row.start || right != rowEnd(row))
                return fail(QStringLiteral("rows"),
                            QStringLiteral("row %1 on screen runs %2, a fresh layout has %3")
                                .arg(k)
                                .arg(span(left, right))
                                .arg(span(row.start, rowEnd(row))));
        } else {
            if (left < row.start || left > row.end)
                return fail(QStringLiteral("rows"),
                            QStringLiteral("line %1 on screen shows %2, not on the line %3")
                                .arg(k)
                                .arg(left)
                                .arg(span(row.start, row.end)));
            if (left < row.end) {
                if (shift < 0)
                    shift = left - row.start;
                if (left - row.start < shift - 1 || left - row.start > shift + 1)
                    return fail(
                        QStringLiteral("rows"),
                        QStringLiteral("line %1 on screen starts %2 characters in, line 0 %3")
                            .arg(k)
                            .arg(left - row.start)
                            .arg(shift));
            }
        }
    }
    if (rows.front().start > 0 && static_cast<int>(rows.size()) < fullRows)
        return fail(QStringLiteral("full view"),
                    QStringLiteral("the view shows %1 rows from %2 where %3 fit, with rows above")
                        .arg(rows.size())
                        .arg(rows.front().start)
                        .arg(fullRows));

    // The characters on screen, each no wider than a tab and, but for the first of a row and
    // hanging blanks, inside the box.
    for (int k = 0; k < std::min(static_cast<int>(rows.size()), onScreen); ++k) {
        const int y = y0 + k * lineHeight;
        const Row& row = rows[static_cast<std::size_t>(k)];
        if (auto failure = compareWidths(k, at({-1000, y + lineHeight / 2}), row.end, y))
            return failure;
    }
    if (caretShown) {
        const QRect caret = accessible->characterRect(static_cast<int>(box.cursorPosition()));
        const int x = box.viewport()->mapFromGlobal(caret.topLeft()).x();
        // After a blank that hangs past the edge, the caret is drawn at the edge.
        const qsizetype at = box.cursorPosition();
        const bool hangs = at > 0 && (t[at - 1] == u' ' || t[at - 1] == u'\t');
        if (caret.isNull() || (x > vw && !hangs))
            return fail(
                QStringLiteral("caret shown"),
                QStringLiteral("the caret at %1 is not on screen").arg(box.cursorPosition()));
    }
    return std::nullopt;
}

std::optional<Failure> Run::compareWidths(int rowIndex, qsizetype from, qsizetype end, int y) {
    PlainTextBox& box = *box_;
    QAccessibleTextInterface* accessible = accessibleText(box);
    const QString& t = model_.text;
    const int vw = box.viewport()->width();
    const qreal widest = 8 * QFontMetricsF(box.font()).horizontalAdvance(QLatin1Char('0')) + 2;
    int checked = 0;
    for (qsizetype p = from; p < end && checked < 160; p = nextCluster(t, p), ++checked) {
        const QRect rect = accessible->characterRect(static_cast<int>(p));
        const QPoint topLeft = box.viewport()->mapFromGlobal(rect.topLeft());
        if (rect.isNull() || topLeft.y() != y)
            return fail(QStringLiteral("widths"),
                        QStringLiteral("the character at %1 of row %2 is not drawn on it")
                            .arg(p)
                            .arg(rowIndex));
        if (rect.width() > widest)
            return fail(QStringLiteral("widths"),
                        QStringLiteral("the character %1 at %2 is %3 px wide")
                            .arg(quoted(t.mid(p, nextCluster(t, p) - p)))
                            .arg(p)
                            .arg(rect.width()));
        if (!wrapping_) {
            if (topLeft.x() > vw)
                break;
        } else if (p > from && t[p] != u' ' && t[p] != u'\t' && topLeft.x() + rect.width() > vw) {
            return fail(QStringLiteral("widths"),
                        QStringLiteral("the character %1 at %2 ends at x %3, past the box's %4")
                            .arg(quoted(t.mid(p, nextCluster(t, p) - p)))
                            .arg(p)
                            .arg(topLeft.x() + rect.width())
                            .arg(vw));
        }
    }
    return std::nullopt;
}

// A run that crashes the box (a Qt assertion, a sanitizer's report) cannot be shrunk: its
// number and step are told as it goes down.
std::uint64_t runNow = 0;
std::size_t stepNow = 0;

void tellRunNow() {
    std::fprintf(stderr,
                 "The box went down in run %llu at step %zu. Again with "
                 "TEXTBOX_MODEL_FIRST_RUN=%llu TEXTBOX_MODEL_RUNS=1.\n",
                 static_cast<unsigned long long>(runNow), stepNow + 1,
                 static_cast<unsigned long long>(runNow));
}

QtMessageHandler qtMessages = nullptr;

void tellRunOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg)
        tellRunNow();
    qtMessages(type, context, message);
}

// The steps run one after another in a new box until one fails; the step and what failed.
struct Outcome {
    std::optional<Failure> failure;
    std::size_t failedAt = 0;
};

Outcome runSteps(PlainTextBox& fresh, const std::vector<Step>& steps, std::vector<QString>* log) {
    Run run(fresh, log);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        stepNow = i;
        if (auto failure = run.step(steps[i]))
            return {failure, i};
    }
    return {};
}

// The fewest steps, and the shortest texts in them, that still fail the same check.
std::vector<Step> shrink(PlainTextBox& fresh, std::vector<Step> steps, const QString& check) {
    int tries = 0; // a bound, for failures that only long texts show
    int bound = 800;
    const auto fails = [&](const std::vector<Step>& candidate) {
        if (++tries > bound)
            return false;
        const Outcome outcome = runSteps(fresh, candidate, nullptr);
        return outcome.failure && outcome.failure->check == check;
    };
    for (std::size_t chunk = std::max<std::size_t>(1, steps.size() / 2);; chunk /= 2) {
        for (std::size_t at = 0; at < steps.size();) {
            std::vector<Step> fewer = steps;
            fewer.erase(fewer.begin() + static_cast<long>(at),
                        fewer.begin() + static_cast<long>(std::min(steps.size(), at + chunk)));
            if (!fewer.empty() && fails(fewer))
                steps = std::move(fewer);
            else
                at += chunk;
        }
        if (chunk == 1)
            break;
    }
    tries = 0;
    bound = 300;
    for (Step& step : steps) {
        QString* text = step.op == Step::Type ? nullptr : &step.text;
        if (!text)
            continue;
        for (qsizetype chunk = std::max<qsizetype>(1, text->size() / 2);; chunk /= 2) {
            for (qsizetype at = 0; at < text->size();) {
                const QString kept = *text;
                text->remove(at, chunk);
                if (!fails(steps)) {
                    *text = kept;
                    at += chunk;
                }
            }
            if (chunk == 1)
                break;
        }
    }
    return steps;
}

std::uint64_t fromEnvironment(const char* name, std::uint64_t otherwise) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const std::uint64_t number = value.toULongLong(&ok);
    return ok ? number : otherwise;
}

// The default runs keep `make test` to about half a minute in each build.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t DefaultRuns = 30;
#else
constexpr std::uint64_t DefaultRuns = 200;
#endif

} // namespace

class TextBoxModelTest : public QObject {
    Q_OBJECT

private slots:
    void matchesTheModel();
};

void TextBoxModelTest::matchesTheModel() {
    const std::uint64_t first = fromEnvironment("TEXTBOX_MODEL_FIRST_RUN", 1);
    const std::uint64_t runs = fromEnvironment("TEXTBOX_MODEL_RUNS", DefaultRuns);
    qtMessages = qInstallMessageHandler(tellRunOnFatal);
    PlainTextBox fresh;
    fresh.show();
    QElapsedTimer clock;
    clock.start();
    std::uint64_t steps = 0;
    for (std::uint64_t run = first; run < first + runs; ++run) {
        runNow = run;
        const std::vector<Step> all = randomSteps(run);
        const Outcome outcome = runSteps(fresh, all, nullptr);
        if (!outcome.failure) {
            steps += all.size();
            continue;
        }
        const std::vector<Step> failing(all.begin(),
                                        all.begin() + static_cast<long>(outcome.failedAt) + 1);
        const std::vector<Step> shortest = shrink(fresh, failing, outcome.failure->check);
        std::vector<QString> log;
        const Outcome again = runSteps(fresh, shortest, &log);
        QString report =
            QStringLiteral("Run %1 fails at step %2 of %3: %4\n"
                           "Again with TEXTBOX_MODEL_FIRST_RUN=%1 TEXTBOX_MODEL_RUNS=1.\n"
                           "The shortest sequence that fails the same way:\n")
                .arg(run)
                .arg(outcome.failedAt + 1)
                .arg(all.size())
                .arg(outcome.failure->message);
        for (std::size_t i = 0; i < log.size(); ++i)
            report += QStringLiteral("  %1. %2\n").arg(i + 1).arg(log[i]);
        report +=
            QStringLiteral("  then: %1")
                .arg(again.failure ? again.failure->message : QStringLiteral("(passes alone)"));
        QFAIL(qPrintable(report));
    }
    qInfo("%llu runs from run %llu, %llu steps, in %.1f s", static_cast<unsigned long long>(runs),
          static_cast<unsigned long long>(first), static_cast<unsigned long long>(steps),
          clock.elapsed() / 1000.0);
}

// AddressSanitizer calls this before its report.
extern "C" void __asan_on_error() {
    tellRunNow();
}

// QTEST_MAIN, but a soak of many runs outlasts QtTest's five minutes for one test function.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "604800000");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TextBoxModelTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_text_box_model.moc"
