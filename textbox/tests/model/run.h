#pragma once

// One run: the box and the model side by side, a step at a time, and the checks after each.

#include "model.h"
#include "steps.h"

#include "textbox/plain_text_box.h"

#include <QAccessible>

#include <memory>
#include <optional>
#include <vector>

namespace model {

struct Failure {
    QString check; // which comparison failed: the shrinking keeps to it
    QString message;
};

inline Failure fail(const QString& check, const QString& message) {
    return {check, message};
}

inline QString span(qsizetype from, qsizetype to) {
    return QStringLiteral("[%1,%2)").arg(from).arg(to);
}

// A row as a fresh box lays it out: its characters [start, end), the next row at `next`.
struct Row {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
    bool endsLine = true;
};

QAccessibleTextInterface* accessibleText(PlainTextBox& box);

class Run {
public:
    Run(PlainTextBox& fresh, std::vector<QString>* log);

    std::optional<Failure> step(const Step& step);

private:
    // The box and the model, side by side.
    std::optional<Failure> act(const Step& step);
    std::optional<Failure> key(int key, int times);
    std::optional<Failure> verticalMove(int key, bool select, int times);
    enum class Mouse { Click, Press, Move };
    std::optional<Failure> mouseAt(QPoint point, Qt::KeyboardModifiers modifiers, Mouse what);
    qsizetype hit(QPoint point);

    // The checks after each step.
    std::optional<Failure> compare(bool caretShown);
    std::optional<Failure> compareRows(bool caretShown);
    std::optional<Failure> compareInputMethod();
    std::optional<Failure> compareWidths(int rowIndex, qsizetype from, qsizetype end, int y);

    // The fresh box, which lays out the model's text with no history.
    void freshen();
    Row rowAt(qsizetype position);
    qsizetype rowEnd(const Row& row) const;
    QPoint global(QPoint point) const { return box_->viewport()->mapToGlobal(point); }
    // The position at a point of the box's viewport, as a screen reader asks for it.
    int at(QPoint point);
    QPoint pointIn(double x, double y) const;
    void say(const QString& line) {
        if (log_)
            log_->push_back(line);
    }

    PlainTextBox& fresh_;
    // A box as wide as the box and one row high, showing the model's text afresh for each row
    // asked of it: it lays out no row past the one asked for, so that no row start it kept
    // could decide the row.
    std::unique_ptr<PlainTextBox> rowBox_;
    std::unique_ptr<PlainTextBox> box_;
    std::vector<QString>* log_;
    Model model_;
    int changes_ = 0;
    bool wrapping_ = true;
};

} // namespace model
