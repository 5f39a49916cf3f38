#include "run.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTest>
#include <QTextCharFormat>

#include <cstdlib>

namespace model {

QAccessibleTextInterface* accessibleText(PlainTextBox& box) {
    return QAccessible::queryAccessibleInterface(&box)->textInterface();
}

Run::Run(PlainTextBox& fresh, std::vector<QString>* log) : fresh_(fresh), log_(log) {
    QGuiApplication::clipboard()->setText(QString());
    box_ = std::make_unique<PlainTextBox>();
    box_->setFont(fontNumber(0));
    box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box_->resize(Sizes[1]);
    box_->show();
    rowBox_ = std::make_unique<PlainTextBox>();
    rowBox_->show();
    QObject::connect(box_.get(), &PlainTextBox::textChanged, [this] { ++changes_; });
}

int Run::at(QPoint point) {
    return accessibleText(*box_)->offsetAtPoint(global(point));
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

// The row of a fresh layout that holds the caret at `position`: from where Home and End take
// the caret in a box that shows the text afresh, one row high. End stops at the line break of a
// row that ends a line, and before the last cluster of a row that wraps.
Row Run::rowAt(qsizetype position) {
    const QString& t = model_.text;
    // Inside a CR LF or a surrogate pair, the row of the character it is inside.
    if (boundaryFrom(t, position) != position)
        --position;
    PlainTextBox& fresh = *rowBox_;
    if (fresh.font() != box_->font())
        fresh.setFont(box_->font());
    fresh.setVerticalScrollBarPolicy(box_->verticalScrollBarPolicy());
    fresh.resize(box_->width(), 25);
    if (fresh.lineWrapMode() != box_->lineWrapMode())
        fresh.setLineWrapMode(box_->lineWrapMode());
    fresh.setPlainText(t);
    if (fresh.viewport()->width() != box_->viewport()->width())
        qFatal("The box of one row is %d wide, the box %d", fresh.viewport()->width(),
               box_->viewport()->width());
    fresh.setCursorPosition(position);
    QTest::keyClick(&fresh, Qt::Key_Home);
    const qsizetype start = fresh.cursorPosition();
    QTest::keyClick(&fresh, Qt::Key_End);
    const qsizetype end = fresh.cursorPosition();
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
                   (model_.changes > 0 && step.op != Step::SetText && step.op != Step::SetUtf8));
}

std::optional<Failure> Run::act(const Step& step) {
    PlainTextBox& box = *box_;
    Model& m = model_;
    const bool primary = QGuiApplication::clipboard()->supportsSelection();
    switch (step.op) {
    case Step::SetText:
        if (log_) // a long text takes long to tell
            say(QStringLiteral("setPlainText(%1)").arg(quoted(step.text)));
        box.setPlainText(step.text);
        m.setText(step.text);
        m.composing = false;
        break;
    case Step::SetUtf8: {
        if (log_) // a long text takes long to tell
            say(QStringLiteral("setUtf8Text(the UTF-8 of %1)").arg(quoted(step.text)));
        const QByteArray utf8 = step.text.toUtf8(); // a lone surrogate, cut by shrinking, is lost
        box.setUtf8Text(std::make_shared<const std::string>(utf8.toStdString()));
        // The box's text is read as it is: a U+FEFF at its start is a character, which
        // QString::fromUtf8 would drop as a byte order mark.
        m.setText(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)
                      .decode(utf8));
        m.composing = false;
        break;
    }
    case Step::Type:
        if (log_) // a long text takes long to tell
            say(QStringLiteral("type %1").arg(quoted(step.pieces.join(QString()))));
        for (const QString& piece : step.pieces) {
            QTest::sendKeyEvent(QTest::Click, &box, piece == u"\t" ? Qt::Key_Tab : Qt::Key_A, piece,
                                Qt::NoModifier);
            m.replaceSelection(piece, true);
        }
        break;
    case Step::Commit: {
        if (log_) // a long text takes long to tell
            say(QStringLiteral("input method commits %1").arg(quoted(step.text)));
        QInputMethodEvent commit;
        commit.setCommitString(step.text);
        QApplication::sendEvent(&box, &commit);
        m.replaceSelection(step.text, true);
        if (!m.readOnly)
            m.composing = false;
        break;
    }
    case Step::Preedit: {
        if (log_)
            say(QStringLiteral("input method composes %1, its caret at %2%3")
                    .arg(quoted(step.text))
                    .arg(step.number)
                    .arg(step.shift ? ", hidden" : ""));
        QTextCharFormat underlined;
        underlined.setFontUnderline(true);
        const auto length = static_cast<int>(step.text.size());
        QInputMethodEvent compose(
            step.text, {{QInputMethodEvent::TextFormat, 0, length, underlined},
                        {QInputMethodEvent::Cursor, step.number, step.shift ? 0 : 1, {}}});
        QApplication::sendEvent(&box, &compose);
        if (m.readOnly)
            break;
        // A composition that begins takes the selection's place.
        if (!step.text.isEmpty() && !m.composing && m.caret != m.anchor)
            m.replaceSelection({}, false);
        m.composing = !step.text.isEmpty();
        break;
    }
    case Step::Key:
        say(step.times > 1 ? QStringLiteral("key %1 x%2").arg(keyName(step.number)).arg(step.times)
                           : QStringLiteral("key %1").arg(keyName(step.number)));
        return key(step.number, step.times);
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
        if (auto failure =
                mouseAt(point, step.shift ? Qt::ShiftModifier : Qt::NoModifier, Mouse::Click))
            return failure;
        m.selectionMade(primary);
        break;
    }
    case Step::Drag: {
        const QPoint from = pointIn(step.x, step.y), to = pointIn(step.x2, step.y2);
        say(QStringLiteral("drag from (%1, %2) to (%3, %4)")
                .arg(from.x())
                .arg(from.y())
                .arg(to.x())
                .arg(to.y()));
        const qsizetype pressed = hit(from);
        const auto [low, high] = m.selection();
        if (low < high && low <= pressed && pressed <= high) {
            // A press on the selection drags it away, which the platform here refuses at once,
            // or puts the caret where the mouse is let go when it hardly moved.
            QTest::mousePress(box.viewport(), Qt::LeftButton, {}, from);
            const bool drags = (to - from).manhattanLength() > QApplication::startDragDistance();
            const qsizetype released = drags ? 0 : hit(to);
            QTest::mouseMove(box.viewport(), to);
            QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, to);
            m.typing = false;
            m.goal = Model::Goal::None;
            m.composing = false;
            if (!drags)
                m.setCaret(released, false);
            break;
        }
        if (auto failure = mouseAt(from, {}, Mouse::Press))
            return failure;
        if (auto failure = mouseAt(to, {}, Mouse::Move))
            return failure;
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, to);
        m.selectionMade(primary);
        break;
    }
    case Step::DoubleClick: {
        const QPoint point = pointIn(step.x, step.y);
        say(QStringLiteral("double click at (%1, %2)").arg(point.x()).arg(point.y()));
        if (auto failure = mouseAt(point, {}, Mouse::Click))
            return failure;
        QTest::mouseDClick(box.viewport(), Qt::LeftButton, {}, point);
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, {}, point);
        const auto [from, to] = wordAt(m.text, m.caret);
        m.setCaret(from, false);
        m.setCaret(to, true);
        m.selectionMade(primary);
        break;
    }
    case Step::MiddleClick: {
        const QPoint point = pointIn(step.x, step.y);
        say(QStringLiteral("middle click at (%1, %2)").arg(point.x()).arg(point.y()));
        const qsizetype pressed = hit(point);
        QTest::mouseClick(box.viewport(), Qt::MiddleButton, {}, point);
        m.composing = false;
        // Where the platform has a primary selection, it is pasted there.
        if (primary && !m.readOnly) {
            m.typing = false;
            m.goal = Model::Goal::None;
            m.setCaret(pressed, false);
            m.replaceSelection(m.primary, false);
        }
        break;
    }
    case Step::Drop: {
        const QPoint point = pointIn(step.x, step.y);
        const char* kinds[] = {"copied", "moved", "a file"};
        if (log_)
            say(QStringLiteral("%1 dropped at (%2, %3) from another program")
                    .arg(step.number == 2
                             ? QString(kinds[2])
                             : quoted(step.text) + QLatin1Char(' ') + kinds[step.number])
                    .arg(point.x())
                    .arg(point.y()));
        const qsizetype dropped = hit(point);
        QMimeData data;
        if (step.number == 2)
            data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/page.html"))});
        else
            data.setText(step.text);
        const Qt::DropAction action = step.number == 1 ? Qt::MoveAction : Qt::CopyAction;
        QDragEnterEvent enter(point, action, &data, Qt::LeftButton, {});
        QApplication::sendEvent(box.viewport(), &enter);
        QDragMoveEvent move(point, action, &data, Qt::LeftButton, {});
        QApplication::sendEvent(box.viewport(), &move);
        QDropEvent drop(point, action, &data, Qt::LeftButton, {});
        QApplication::sendEvent(box.viewport(), &drop);
        // Text goes in where it was dropped; a file is not text.
        if (m.readOnly || step.number == 2)
            break;
        m.typing = false;
        if (!step.text.isEmpty()) {
            m.setCaret(dropped, false);
            m.replaceSelection(step.text, false);
        }
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
        m.composing = m.composing && !m.readOnly;
        say(QStringLiteral("setReadOnly(%1)").arg(m.readOnly ? "true" : "false"));
        box.setReadOnly(m.readOnly);
        break;
    case Step::Font:
        say(QStringLiteral("font %1").arg(fontNumber(step.number).families().front()));
        box.setFont(fontNumber(step.number));
        m.keepGoalUnknown();
        break;
    case Step::Clipboard:
        if (log_) // a long text takes long to tell
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

std::optional<Failure> Run::key(int key, int times) {
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
        return verticalMove(key, select, times);
    default:
        break;
    }
    if (times > 1) {
        for (; times > 0; --times)
            if (auto failure = this->key(key, 1))
                return failure;
        return std::nullopt;
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
    const bool primary = QGuiApplication::clipboard()->supportsSelection();
    const auto move = [&](qsizetype target, bool selecting) {
        m.typing = false;
        m.goal = Model::Goal::None;
        m.setCaret(target, selecting);
        if (selecting)
            m.selectionMade(primary);
    };
    // Right goes on and Left back, or in a line that reads from right to left the other way.
    const bool onwards =
        (standard == QKeySequence::MoveToNextChar || standard == QKeySequence::SelectNextChar) !=
        rightToLeftAt(m.text, m.caret);
    switch (standard) {
    case QKeySequence::MoveToNextChar:
    case QKeySequence::MoveToPreviousChar:
        if (none)
            move(onwards ? nextCluster(m.text, m.caret) : previousCluster(m.text, m.caret), false);
        else
            move(onwards ? to : from, false);
        break;
    case QKeySequence::SelectNextChar:
    case QKeySequence::SelectPreviousChar:
        move(onwards ? nextCluster(m.text, m.caret) : previousCluster(m.text, m.caret), true);
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
        m.selectionMade(primary);
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
std::optional<Failure> Run::verticalMove(int key, bool select, int times) {
    Model& m = model_;
    // Where the x is unknown, each key is checked on its own.
    if (m.goal == Model::Goal::Unknown && times > 1) {
        for (; times > 0; --times)
            if (auto failure = verticalMove(key, select, 1))
                return failure;
        return std::nullopt;
    }
    const bool down = key == QKeySequence::MoveToNextLine || key == QKeySequence::SelectNextLine ||
                      key == QKeySequence::MoveToNextPage || key == QKeySequence::SelectNextPage;
    const bool page = key == QKeySequence::MoveToNextPage || key == QKeySequence::SelectNextPage ||
                      key == QKeySequence::MoveToPreviousPage ||
                      key == QKeySequence::SelectPreviousPage;
    const int plain =
        page ? (down ? QKeySequence::MoveToNextPage : QKeySequence::MoveToPreviousPage)
             : (down ? QKeySequence::MoveToNextLine : QKeySequence::MoveToPreviousLine);
    const qsizetype before = m.caret;
    for (int i = 0; i < times; ++i)
        QTest::keySequence(box_.get(), QKeySequence(static_cast<QKeySequence::StandardKey>(key)));
    m.typing = false;
    if (m.goal == Model::Goal::None) {
        m.goal = Model::Goal::Known;
        m.runStart = m.caret;
        m.runKeys.clear();
    }
    m.runKeys.insert(m.runKeys.end(), times, plain);
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

// The position a press at `point` gives: where a fresh box showing the same rows puts it;
// without wrapping, where the box itself says, since its sideways scroll is its own.
qsizetype Run::hit(QPoint point) {
    if (!wrapping_)
        return at(point);
    const int top = at({-1000, 0});
    freshen();
    fresh_.verticalScrollBar()->setValue(top);
    return accessibleText(fresh_)->offsetAtPoint(fresh_.viewport()->mapToGlobal(point));
}

// A click, a press, or a move with the button held, at `point`: where a fresh box showing the
// same rows puts the caret. Without wrapping, the caret must be on the line pressed.
std::optional<Failure> Run::mouseAt(QPoint point, Qt::KeyboardModifiers modifiers, Mouse what) {
    Model& m = model_;
    const qsizetype expected = wrapping_ ? hit(point) : 0;
    switch (what) {
    case Mouse::Click:
        QTest::mouseClick(box_->viewport(), Qt::LeftButton, modifiers, point);
        break;
    case Mouse::Press:
        QTest::mousePress(box_->viewport(), Qt::LeftButton, modifiers, point);
        break;
    case Mouse::Move:
        QTest::mouseMove(box_->viewport(), point);
        break;
    }
    const bool select = what == Mouse::Move || (modifiers & Qt::ShiftModifier);
    if (what != Mouse::Move) {
        m.typing = false;
        m.goal = Model::Goal::None;
        m.composing = false;
    }
    if (wrapping_) {
        m.setCaret(expected, select);
        return std::nullopt;
    }
    const qsizetype caret = box_->cursorPosition();
    // The line's first position on screen: at its left, or where it reads from the right, at
    // its right.
    const int line =
        std::min(at({-1000, point.y()}), at({box_->viewport()->width() + 1000, point.y()}));
    freshen();
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

} // namespace model
