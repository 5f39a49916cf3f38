// The checks after each step: the box against the model, and its rows against a fresh layout.

#include "run.h"

#include "textbox/plain_text_box_accessible.h"

#include <QApplication>
#include <QClipboard>

namespace model {

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
    if (auto failure = compareInputMethod())
        return failure;
    return compareRows(caretShown);
}

// What an input method is told, asked as it asks: the caret's line, at most a stretch of it about
// the caret, where the caret and the anchor are in it, and the caret's rectangle on its row.
std::optional<Failure> Run::compareInputMethod() {
    PlainTextBox& box = *box_;
    const Model& m = model_;
    const QString& t = m.text;
    QInputMethodQueryEvent query(Qt::ImSurroundingText | Qt::ImCursorPosition |
                                 Qt::ImAnchorPosition | Qt::ImCursorRectangle);
    QApplication::sendEvent(&box, &query);
    const QString around = query.value(Qt::ImSurroundingText).toString();
    const qsizetype cursor = query.value(Qt::ImCursorPosition).toInt();
    const qsizetype from = m.caret - cursor, to = from + around.size();
    const auto half = static_cast<qsizetype>(AccessibleTextLimit / 2);
    const bool lineStarts = from == 0 || isBreak(t[from - 1]) || cursor == half;
    const bool lineEnds = to == t.size() || isBreak(t[to]) || to - m.caret == half;
    if (from < 0 || to > t.size() || t.mid(from, around.size()) != around ||
        around.contains(u'\r') || around.contains(u'\n') || !lineStarts || !lineEnds)
        return fail(QStringLiteral("input method"),
                    QStringLiteral("the input method is told %1 with the caret at %2, not the "
                                   "caret's line about %3")
                        .arg(quoted(around))
                        .arg(cursor)
                        .arg(m.caret));
    const qsizetype anchor = query.value(Qt::ImAnchorPosition).toInt();
    if (anchor != std::clamp(m.anchor, from, to) - from)
        return fail(QStringLiteral("input method"),
                    QStringLiteral("the input method is told the anchor is at %1, not %2")
                        .arg(from + anchor)
                        .arg(m.anchor));
    const QRect caret = accessibleText(box)->characterRect(static_cast<int>(m.caret));
    const QRect told = query.value(Qt::ImCursorRectangle).toRect();
    if (!caret.isNull() && (box.mapToGlobal(told.topLeft()).y() != caret.top() || told.left() < 0 ||
                            told.left() > box.width()))
        return fail(QStringLiteral("input method"),
                    QStringLiteral("the input method is told the caret is at (%1, %2), the caret "
                                   "is drawn at (%3, %4)")
                        .arg(told.left())
                        .arg(told.top())
                        .arg(box.mapFromGlobal(caret.topLeft()).x())
                        .arg(box.mapFromGlobal(caret.topLeft()).y()));
    return std::nullopt;
}

// The rows on screen, read at the left and right of each, against the rows of a fresh layout
// from the same top row.
std::optional<Failure> Run::compareRows(bool caretShown) {
    PlainTextBox& box = *box_;
    QAccessibleTextInterface* accessible = accessibleText(box);
    const QString& t = model_.text;
    freshen();
    const int vw = box.viewport()->width(), vh = box.viewport()->height();
    // A row's first position is at its left, or in a line that reads from right to left, at
    // its right; its last at the other end.
    const auto first = [&](int y) { return std::min(at({-1000, y}), at({vw + 1000, y})); };
    const int left0 = first(0);
    const QRect topLeft = accessible->characterRect(left0);
    if (topLeft.isNull())
        return fail(
            QStringLiteral("rows"),
            QStringLiteral("the top row's first position %1 has no place on screen").arg(left0));
    const int y0 = box.viewport()->mapFromGlobal(topLeft.topLeft()).y();
    const int lineHeight = topLeft.height();
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
        const bool rightToLeft = rightToLeftAt(t, row.start);
        const int left = at({rightToLeft ? vw + 1000 : -1000, y});
        if (wrapping_) {
            const int right = at({rightToLeft ? -1000 : vw + 1000, y});
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
        if (auto failure = compareWidths(k, first(y + lineHeight / 2), row.end, y))
            return failure;
    }
    if (caretShown) {
        // Where the caret is drawn, as the box tells an input method: the character after it
        // may be drawn far from it, at the other end of a run in the other direction.
        QInputMethodQueryEvent query(Qt::ImCursorRectangle);
        QApplication::sendEvent(&box, &query);
        const QRect caret = query.value(Qt::ImCursorRectangle).toRect();
        const int x = caret.x() - box.viewport()->x();
        // After a blank that hangs past the edge, the caret is drawn at the edge.
        const qsizetype at = box.cursorPosition();
        const bool hangs = at > 0 && (t[at - 1] == u' ' || t[at - 1] == u'\t');
        if (caret.isNull() || x < 0 || (x > vw && !hangs))
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
    // Each character's place is found by laying out its row: a row of thousands of zero-width
    // characters is checked at fewer of them.
    const int toCheck = end - from > 1000 ? 16 : 160;
    int checked = 0;
    for (qsizetype p = from; p < end && checked < toCheck; p = nextCluster(t, p), ++checked) {
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

} // namespace model
