#pragma once

// The steps of a run: what is done to the box, drawn at random from the run's number, and how
// each is told in a failing run's report.

#include <QFont>
#include <QKeySequence>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace model {

struct Step {
    enum Op {
        SetText,
        SetUtf8, // setUtf8Text with the UTF-8 of `text`
        Type,    // one key event for each piece
        Commit,  // an input method's commit string
        Preedit, // an input method's composition, its caret at `number`, hidden with `shift`
        Key,     // a standard key, `number` a QKeySequence::StandardKey
        Backspace,
        Click,
        Drag,
        DoubleClick,
        MiddleClick,
        Drop,      // `text` dropped from another program: `number` 0 a copy, 1 a move, 2 a file
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
    int times = 1; // a key pressed so many times, the box compared after the last
    bool shift = false;
    double x = 0, y = 0, x2 = 0, y2 = 0;
};

// The sizes a run resizes the box to.
inline constexpr QSize Sizes[] = {{700, 50}, {300, 120}, {120, 200}, {1000, 200}, {700, 130},
                                  {900, 60}, {300, 25},  {500, 400}, {60, 100}};

// The keys that move the caret, with and without Shift.
inline constexpr QKeySequence::StandardKey MoveKeys[] = {
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

QFont fontNumber(int number);
std::vector<Step> randomSteps(std::uint64_t run);

// A text as C++ would write it, a piece said again and again and runs of one character
// shortened: ("ab " "x"x93)x40.
QString quoted(const QString& text);
QString keyName(int key);

} // namespace model
