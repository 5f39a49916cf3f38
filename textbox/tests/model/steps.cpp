#include "steps.h"

#include "random_texts.h"

#include "textbox/plain_text_box.h"

#include <QHash>
#include <QTest>

#include <iterator>

namespace model {

namespace {

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

// A run through a line of 100,000 to 1,000,000 characters: visits far into it and back, by
// Ctrl+End, Page Down, the scroll bar and the caret put anywhere, edits before them, steps over
// clusters, and the view's size changed.
void veryLongLineSteps(Random& random, std::vector<Step>& steps) {
    const auto add = [&](Step step) { steps.push_back(std::move(step)); };
    const auto keys = [&](int key, int times) {
        Step step = stepOf(Step::Key, key);
        step.times = times;
        add(step);
    };
    add(stepOf(Step::Resize, random.below(static_cast<int>(std::size(Sizes)))));
    if (random.chance(50))
        add(stepOf(Step::Font, 1));
    if (random.chance(10))
        add(stepOf(Step::Wrap));
    QString text = veryLongLine(random);
    if (random.chance(30))
        text = QStringLiteral("<html>\r\n") + text + QStringLiteral("\r\n</html>");
    add(stepOf(Step::SetText, 0, text));
    for (int count = random.between(20, 50); count > 0; --count) {
        const int roll = random.below(100);
        Step step;
        step.x = random.fraction();
        step.y = random.fraction();
        if (roll < 10) {
            keys(QKeySequence::MoveToEndOfDocument, 1);
        } else if (roll < 18) {
            keys(QKeySequence::MoveToStartOfDocument, 1);
        } else if (roll < 28) {
            keys(random.chance(60) ? QKeySequence::MoveToNextPage
                                   : QKeySequence::MoveToPreviousPage,
                 random.between(1, 30));
        } else if (roll < 38) {
            step.op = Step::SetCursor;
            add(step);
        } else if (roll < 48) {
            step.op = Step::Type;
            const QString pieces[] = {"xyz",
                                      "a",
                                      " ",
                                      QString(QChar(0x4E2D)),
                                      QString(QChar(0x200B)),
                                      QString(QChar(0x308))};
            step.pieces << pieces[random.below(static_cast<int>(std::size(pieces)))];
            add(step);
        } else if (roll < 56) {
            keys(random.chance(50) ? QKeySequence::MoveToStartOfLine
                                   : QKeySequence::MoveToEndOfLine,
                 1);
        } else if (roll < 64) {
            step.op = Step::ScrollBar;
            step.number = random.chance(30) ? 0 : random.between(1, 4);
            add(step);
        } else if (roll < 72) {
            keys(random.chance(50) ? QKeySequence::MoveToNextChar
                                   : QKeySequence::MoveToPreviousChar,
                 random.between(1, 70));
        } else if (roll < 76) {
            add(stepOf(Step::Slot, 5)); // select all, Delete, undo: the whole line put back
            keys(QKeySequence::Delete, 1);
            keys(QKeySequence::Undo, 1);
        } else if (roll < 82) {
            add(random.chance(50) ? stepOf(Step::Backspace)
                                  : stepOf(Step::Key, QKeySequence::Delete));
        } else if (roll < 86) {
            add(stepOf(Step::Resize, random.below(static_cast<int>(std::size(Sizes)))));
        } else if (roll < 90) {
            step.op = random.chance(50) ? Step::Click : Step::Wheel;
            step.number = random.chance(50) ? random.between(1, 3) : -random.between(1, 3);
            add(step);
        } else if (roll < 96) {
            keys(random.chance(50) ? QKeySequence::MoveToNextLine
                                   : QKeySequence::MoveToPreviousLine,
                 random.between(1, 10));
        } else {
            add(stepOf(Step::Paint));
        }
    }
}

} // namespace

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

std::vector<Step> randomSteps(std::uint64_t run) {
    Random random(run);
    const Mix mix = randomMix(random);
    std::vector<Step> steps;
    const auto add = [&](Step step) { steps.push_back(std::move(step)); };
    // One run in thirty goes through a line of 100,000 characters or more.
    if (random.chance(3)) {
        veryLongLineSteps(random, steps);
        return steps;
    }

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
        add(stepOf(Step::SetUtf8, 0, randomText(random, mix, random.between(0, 1500))));
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
        if (random.chance(4)) {
            // Spaces typed at a row's start or end, then a word deleted next to them, where a
            // line break may lie just past the spaces.
            add(stepOf(Step::Key, random.chance(50) ? QKeySequence::MoveToStartOfLine
                                                    : QKeySequence::MoveToEndOfLine));
            Step spaces = stepOf(Step::Type);
            for (int i = random.between(1, 3); i > 0; --i)
                spaces.pieces << QStringLiteral(" ");
            add(spaces);
            for (int i = random.below(3); i > 0; --i)
                add(stepOf(Step::Key, QKeySequence::MoveToPreviousChar));
            add(stepOf(Step::Key, random.chance(50) ? QKeySequence::DeleteStartOfWord
                                                    : QKeySequence::DeleteEndOfWord));
            continue;
        }
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
        const int roll = random.below(1050);
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
        } else if (roll < 1000) {
            step.op = Step::Paint;
        } else if (roll < 1020) {
            step.op = Step::Preedit;
            for (int i = random.below(4); i > 0; --i)
                step.text += typeable(randomPiece(random, mix));
            step.number = random.below(static_cast<int>(step.text.size()) + 1);
            step.shift = random.chance(20);
        } else if (roll < 1040) {
            step.op = Step::Drop;
            step.number = random.chance(10) ? 2 : random.below(2);
            step.text = randomText(random, mix, random.between(0, 12));
        } else {
            step.op = Step::MiddleClick;
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

QString keyName(int key) {
    return QKeySequence(static_cast<QKeySequence::StandardKey>(key)).toString();
}

} // namespace model
