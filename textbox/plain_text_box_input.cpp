// The box's caret and selection, its editing, and what it does with keys, the mouse and the
// focus.

#include "textbox/plain_text_box.h"

#include "textbox/plain_text_box_accessible.h"
#include "textbox/utf16.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>
#include <vector>

using textbox::Row;
using textbox::RowGlyphs;

namespace {

constexpr int DragScrollMilliseconds = 50;

// The editing keys the box takes before the window's shortcuts see them.
constexpr QKeySequence::StandardKey EditKeys[] = {
    QKeySequence::SelectAll,
    QKeySequence::Copy,
    QKeySequence::Cut,
    QKeySequence::Paste,
    QKeySequence::Undo,
    QKeySequence::Redo,
    QKeySequence::Delete,
    QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfWord,
    QKeySequence::InsertParagraphSeparator,
    QKeySequence::InsertLineSeparator,
};

// Copied text, handed over only when a program asks for it, and in UTF-8 when asked for
// bytes: a copy of a whole page takes no second copy of it until it is pasted, nor a UTF-16
// one on its way to another program. It answers as plain text, and as plain text in UTF-8,
// which programs on Wayland ask for by name.
class CopiedText : public QMimeData {
public:
    explicit CopiedText(textbox::PieceText text) : text_(std::move(text)) {}
    // The selection [from, to) of a box, dragged from it.
    CopiedText(textbox::PieceText text, const PlainTextBox* box, std::size_t from, std::size_t to)
        : text_(std::move(text)), box_(box), from_(from), to_(to) {}

    // Whether this is the selection [from, to) dragged from this box.
    bool isDraggedFrom(const PlainTextBox* box,
                       std::pair<std::size_t, std::size_t> selection) const {
        return box_ == box && selection == std::pair{from_, to_};
    }

    QStringList formats() const override {
        return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
    }

protected:
    QVariant retrieveData(const QString& format, QMetaType type) const override {
        if (!formats().contains(format))
            return {};
        if (type.id() == QMetaType::QByteArray)
            return utf8();
        QString text(static_cast<qsizetype>(text_.size()), Qt::Uninitialized);
        text_.read(0, text_.size(), reinterpret_cast<char16_t*>(text.data()));
        return text;
    }

private:
    static constexpr std::size_t Chunk = 65536;

    QByteArray utf8() const {
        QByteArray bytes;
        bytes.reserve(static_cast<qsizetype>(utf8Length()));
        QStringEncoder encoder(QStringEncoder::Utf8);
        std::vector<char16_t> chunk(Chunk);
        for (std::size_t from = 0; from < text_.size(); from += Chunk) {
            const std::size_t count = std::min(Chunk, text_.size() - from);
            text_.read(from, count, chunk.data());
            bytes += encoder(QStringView(chunk.data(), static_cast<qsizetype>(count)));
        }
        return bytes;
    }

    // The bytes of the text in UTF-8, so that room is made for them once.
    std::size_t utf8Length() const {
        std::size_t length = 0;
        std::vector<char16_t> chunk(Chunk);
        for (std::size_t from = 0; from < text_.size(); from += Chunk) {
            const std::size_t count = std::min(Chunk, text_.size() - from);
            text_.read(from, count, chunk.data());
            for (std::size_t i = 0; i < count; ++i) {
                const char16_t c = chunk[i];
                length += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isHighSurrogate(c) ? 1 : 3;
            }
        }
        return length;
    }

    textbox::PieceText text_;
    const PlainTextBox* box_ = nullptr;
    std::size_t from_ = 0, to_ = 0;
};

} // namespace

// ---- The caret and the selection ----

std::pair<std::size_t, std::size_t> PlainTextBox::selection() const {
    return std::minmax(caret_, anchor_);
}

std::size_t PlainTextBox::positionAt(QPointF point) const {
    const auto row = static_cast<long>(std::floor((point.y() - firstRowY()) / rows_.lineHeight()));
    return positionInRow(
        shown_[static_cast<std::size_t>(std::clamp(row, 0L, static_cast<long>(shown_.size()) - 1))],
        point.x() - Margin);
}

std::size_t PlainTextBox::positionInRow(const Row& row, qreal x) const {
    const RowGlyphs glyphs = glyphsOf(row);
    const std::size_t position = glyphs.positionAt(x);
    if (position < glyphs.end())
        return position;
    return glyphs.end() < row.end ? glyphs.end() : rowEnd(row);
}

// The last caret position on a row: before its last character when the row wraps, so that the
// caret stays on it.
std::size_t PlainTextBox::rowEnd(const Row& row) const {
    return row.endsLine ? row.end : boundaries_.previousCluster(row.end);
}

// Where Up or Down, `count` rows away, put the caret: at the x where they began, or without
// wrapping in the same column.
std::size_t PlainTextBox::rowsAway(long count) {
    Row row = rows_.rowAt(caret_);
    const bool wrapping = wrapMode_ == WidgetWidth;
    if (goalX_ < 0)
        goalX_ = wrapping ? glyphsOf(row).xAt(caret_) : static_cast<qreal>(caret_ - row.start);
    for (; count > 0; --count) {
        if (row.end == text_.size())
            return text_.size();
        row = rows_.rowFrom(row.next);
    }
    for (; count < 0; ++count) {
        const auto before = rows_.rowBefore(row.start);
        if (!before)
            return 0;
        row = *before;
    }
    if (wrapping)
        return positionInRow(row, goalX_);
    return boundaries_.boundaryFrom(
        std::min(row.start + static_cast<std::size_t>(goalX_), row.end));
}

void PlainTextBox::setCaret(std::size_t position, bool select) {
    const std::size_t caret = caret_, anchor = anchor_;
    caret_ = boundaries_.boundaryFrom(position);
    if (!select)
        anchor_ = caret_;
    if (caret_ != caret || anchor_ != anchor)
        notifyCaret();
    restartBlink();
}

void PlainTextBox::setCursorPosition(qsizetype position) {
    text_.endTyping();
    goalX_ = -1;
    setCaret(static_cast<std::size_t>(std::max<qsizetype>(position, 0)), false);
    ensureVisible(caret_);
}

void PlainTextBox::selectAll() {
    text_.endTyping();
    anchor_ = 0;
    setCaret(text_.size(), true);
}

// Where the platform has a primary selection (X11), what the user selects becomes it, and a
// middle click pastes it.
void PlainTextBox::setPrimarySelection() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto [from, to] = selection();
    if (from != to && clipboard->supportsSelection())
        clipboard->setMimeData(new CopiedText(text_.part(from, to - from)), QClipboard::Selection);
}

void PlainTextBox::moveCaret(Move move, bool select) {
    text_.endTyping();
    const auto [from, to] = selection();
    const bool collapse = !select && from != to;
    std::size_t target = caret_;
    bool vertical = false;
    switch (move) {
    case Move::NextChar:
    case Move::PreviousChar: {
        // In a line that reads from right to left, Right goes back and Left on, as in
        // QPlainTextEdit.
        const bool onwards = (move == Move::NextChar) != rows_.rightToLeft(caret_);
        if (collapse)
            target = onwards ? to : from;
        else
            target =
                onwards ? boundaries_.nextCluster(caret_) : boundaries_.previousCluster(caret_);
        break;
    }
    case Move::NextWord:
        target = boundaries_.nextWord(caret_);
        break;
    case Move::PreviousWord:
        target = boundaries_.previousWord(caret_);
        break;
    case Move::NextRow:
    case Move::PreviousRow:
        target = rowsAway(move == Move::NextRow ? 1 : -1);
        vertical = true;
        break;
    case Move::NextPage:
    case Move::PreviousPage: {
        // The caret and the view move by the same rows, so that the caret keeps its place.
        const long rows = std::max(1, fullRows() - 1) * (move == Move::NextPage ? 1 : -1);
        target = rowsAway(rows);
        scrollRows(rows);
        vertical = true;
        break;
    }
    case Move::RowStart:
        target = rows_.rowAt(caret_).start;
        break;
    case Move::RowEnd:
        target = rowEnd(rows_.rowAt(caret_));
        break;
    case Move::TextStart:
        target = 0;
        break;
    case Move::TextEnd:
        target = text_.size();
        break;
    }
    if (!vertical)
        goalX_ = -1;
    setCaret(target, select);
    ensureVisible(caret_);
    if (select)
        setPrimarySelection();
}

void PlainTextBox::restartBlink() {
    updateMicroFocus(); // the input method follows the caret
    caretOn_ = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (hasFocus() && flashTime >= 2)
        blinkTimer_.start(flashTime / 2, this);
    else
        blinkTimer_.stop();
    viewport()->update();
}

void PlainTextBox::notifyCaret() {
    if (!QAccessible::isActive())
        return;
    if (caret_ != anchor_) {
        const auto [from, to] = selection();
        QAccessibleTextSelectionEvent event(this, static_cast<int>(from), static_cast<int>(to));
        event.setCursorPosition(static_cast<int>(caret_));
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextCursorEvent event(this, static_cast<int>(caret_));
        QAccessible::updateAccessibility(&event);
    }
}

// ---- Editing ----

void PlainTextBox::replaceSelection(const QString& text, bool typed) {
    const auto [from, to] = selection();
    if (readOnly_ || (from == to && text.isEmpty()))
        return;
    textbox::Change change;
    if (typed) {
        change = text_.type(from, to - from, textbox::utf16(text));
    } else {
        const auto kept = std::make_shared<const QString>(text);
        change = text_.replace(from, to - from, textbox::utf16(*kept), kept);
    }
    edited(change, from + static_cast<std::size_t>(text.size()));
}

void PlainTextBox::removeRange(std::size_t from, std::size_t to) {
    if (readOnly_ || from >= to)
        return;
    edited(text_.replace(from, to - from, {}, nullptr), from);
}

void PlainTextBox::removeSelection() {
    const auto [from, to] = selection();
    removeRange(from, to);
}

void PlainTextBox::edited(const textbox::Change& change, std::size_t caret) {
    rows_.changed(change);
    top_ = rows_.rowStartAfter(top_, change);
    caret_ = anchor_ = boundaries_.boundaryFrom(std::min(caret, text_.size()));
    goalX_ = -1;
    notifyTextChange(change.position, change.removed, change.inserted);
    restartBlink();
    ensureVisible(caret_);
    emit textChanged();
}

void PlainTextBox::undo() {
    if (readOnly_ || !text_.canUndo())
        return;
    const textbox::Change change = text_.undo();
    edited(change, change.position + change.inserted);
}

void PlainTextBox::redo() {
    if (readOnly_ || !text_.canRedo())
        return;
    const textbox::Change change = text_.redo();
    edited(change, change.position + change.inserted);
}

void PlainTextBox::copy() {
    const auto [from, to] = selection();
    if (from != to)
        QGuiApplication::clipboard()->setMimeData(new CopiedText(text_.part(from, to - from)));
}

void PlainTextBox::cut() {
    if (readOnly_)
        return;
    copy();
    removeSelection();
}

void PlainTextBox::paste() {
    replaceSelection(QGuiApplication::clipboard()->text(), false);
}

QMenu* PlainTextBox::createStandardContextMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("qt_edit_menu"));
    const bool selected = caret_ != anchor_;
    const auto add = [&](const char* text, QKeySequence::StandardKey key, bool enabled,
                         void (PlainTextBox::*slot)()) {
        QString caption = QCoreApplication::translate("QWidgetTextControl", text);
        if (key != QKeySequence::UnknownKey)
            caption += QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu->addAction(caption);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, slot);
    };
    if (!readOnly_) {
        add("&Undo", QKeySequence::Undo, text_.canUndo(), &PlainTextBox::undo);
        add("&Redo", QKeySequence::Redo, text_.canRedo(), &PlainTextBox::redo);
        menu->addSeparator();
        add("Cu&t", QKeySequence::Cut, selected, &PlainTextBox::cut);
    }
    add("&Copy", QKeySequence::Copy, selected, &PlainTextBox::copy);
    if (!readOnly_) {
        const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
        add("&Paste", QKeySequence::Paste, clipboard && clipboard->hasText(), &PlainTextBox::paste);
        add("Delete", QKeySequence::UnknownKey, selected, &PlainTextBox::removeSelection);
    }
    menu->addSeparator();
    add("Select All", QKeySequence::SelectAll, text_.size() > 0, &PlainTextBox::selectAll);
    return menu;
}

// ---- Keys, mouse, focus ----

// Typed text: Ctrl with a key is a command, and Alt with a key an access key or nothing, never
// text, as in the edit boxes of Windows. AltGr is neither: X reports it apart from Alt, and
// Windows as Ctrl with Alt.
QString PlainTextBox::typedText(const QKeyEvent* event) const {
    const QString text = event->text();
    if (text.isEmpty())
        return {};
    const QChar first = text.front();
    if (first.category() == QChar::Other_Format)
        return text;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::ShiftModifier;
    if (modifiers == Qt::ControlModifier || modifiers == Qt::AltModifier)
        return {};
    if (first.isPrint() || first.category() == QChar::Other_PrivateUse ||
        (first.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate()) ||
        (first == QLatin1Char('\t') && !tabChangesFocus_))
        return text;
    return {};
}

const PlainTextBox::KeyMove* PlainTextBox::keyMove(const QKeyEvent* event) {
    static constexpr KeyMove KeyMoves[] = {
        {QKeySequence::MoveToNextChar, Move::NextChar, false},
        {QKeySequence::MoveToPreviousChar, Move::PreviousChar, false},
        {QKeySequence::SelectNextChar, Move::NextChar, true},
        {QKeySequence::SelectPreviousChar, Move::PreviousChar, true},
        {QKeySequence::MoveToNextWord, Move::NextWord, false},
        {QKeySequence::MoveToPreviousWord, Move::PreviousWord, false},
        {QKeySequence::SelectNextWord, Move::NextWord, true},
        {QKeySequence::SelectPreviousWord, Move::PreviousWord, true},
        {QKeySequence::MoveToNextLine, Move::NextRow, false},
        {QKeySequence::MoveToPreviousLine, Move::PreviousRow, false},
        {QKeySequence::SelectNextLine, Move::NextRow, true},
        {QKeySequence::SelectPreviousLine, Move::PreviousRow, true},
        {QKeySequence::MoveToNextPage, Move::NextPage, false},
        {QKeySequence::MoveToPreviousPage, Move::PreviousPage, false},
        {QKeySequence::SelectNextPage, Move::NextPage, true},
        {QKeySequence::SelectPreviousPage, Move::PreviousPage, true},
        {QKeySequence::MoveToStartOfLine, Move::RowStart, false},
        {QKeySequence::MoveToEndOfLine, Move::RowEnd, false},
        {QKeySequence::SelectStartOfLine, Move::RowStart, true},
        {QKeySequence::SelectEndOfLine, Move::RowEnd, true},
        {QKeySequence::MoveToStartOfDocument, Move::TextStart, false},
        {QKeySequence::MoveToEndOfDocument, Move::TextEnd, false},
        {QKeySequence::SelectStartOfDocument, Move::TextStart, true},
        {QKeySequence::SelectEndOfDocument, Move::TextEnd, true},
    };
    for (const KeyMove& keyMove : KeyMoves)
        if (event->matches(keyMove.key))
            return &keyMove;
    return nullptr;
}

bool PlainTextBox::moveKey(QKeyEvent* event) {
    const KeyMove* move = keyMove(event);
    if (move)
        moveCaret(move->move, move->select);
    return move;
}

bool PlainTextBox::editKey(QKeyEvent* event) {
    const auto [from, to] = selection();
    const bool none = from == to;
    if (event->matches(QKeySequence::Cut))
        cut();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::Undo))
        undo();
    else if (event->matches(QKeySequence::Redo))
        redo();
    else if (event->matches(QKeySequence::InsertParagraphSeparator) ||
             event->matches(QKeySequence::InsertLineSeparator))
        replaceSelection(QStringLiteral("\r\n"), true);
    else if (event->matches(QKeySequence::Delete))
        removeRange(from, none ? boundaries_.nextCluster(caret_) : to);
    else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier))
        removeRange(none ? boundaries_.previousCharacter(caret_) : from, to);
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        removeRange(none ? boundaries_.wordDeletedBefore(caret_) : from, to);
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        removeRange(from, none ? boundaries_.wordDeletedAfter(caret_) : to);
    else
        return false;
    return true;
}

void PlainTextBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        setPrimarySelection();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (moveKey(event)) {
    } else if (!readOnly_ && editKey(event)) {
    } else if (const QString text = typedText(event); !text.isEmpty() && !readOnly_) {
        replaceSelection(text, true);
    } else {
        event->ignore();
        return;
    }
    event->accept();
}

// The keys the box takes for itself, before the window's shortcuts see them.
bool PlainTextBox::handlesShortcut(QKeyEvent* event) const {
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (modifiers == Qt::NoModifier && !readOnly_ &&
        (event->key() == Qt::Key_Backspace || !typedText(event).isEmpty()))
        return true;
    return keyMove(event) ||
           std::any_of(std::begin(EditKeys), std::end(EditKeys),
                       [&](QKeySequence::StandardKey key) { return event->matches(key); });
}

bool PlainTextBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        handlesShortcut(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

bool PlainTextBox::focusNextPrevChild(bool next) {
    if (!tabChangesFocus_ && !readOnly_)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void PlainTextBox::inputMethodEvent(QInputMethodEvent* event) {
    if (readOnly_) {
        event->ignore();
        return;
    }
    // As in the toolkit's text boxes, a composition that begins takes the selection's place.
    if (caret_ != anchor_ && event->commitString().isEmpty() && event->replacementLength() == 0 &&
        !event->preeditString().isEmpty() && preedit_.text.isEmpty())
        removeSelection();
    if (event->replacementLength() > 0) {
        const auto start = static_cast<qsizetype>(caret_) + event->replacementStart();
        const auto clamp = [&](qsizetype position) {
            return static_cast<std::size_t>(std::clamp<qsizetype>(position, 0, length()));
        };
        anchor_ = clamp(start);
        caret_ = clamp(start + event->replacementLength());
    }
    if (!event->commitString().isEmpty() || event->replacementLength() > 0)
        replaceSelection(event->commitString(), true);
    preedit_ = {event->preeditString(), {}, static_cast<int>(event->preeditString().size()), true};
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preedit_.caret = attribute.start;
            preedit_.caretShown = attribute.length != 0;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format =
                qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
            if (format.isValid())
                preedit_.formats.append({attribute.start, attribute.length, format});
        } else if (attribute.type == QInputMethodEvent::Selection) {
            // Counted from the start of the text around the caret that the method was given.
            const std::size_t from = surroundingText().first;
            const auto at = [&](qsizetype offset) {
                return from + static_cast<std::size_t>(std::max<qsizetype>(offset, 0));
            };
            setCaret(at(attribute.start), false);
            setCaret(at(attribute.start + attribute.length), true);
        }
    }
    if (!preedit_.text.isEmpty())
        ensureVisible(caret_);
    viewport()->update();
    updateMicroFocus();
    event->accept();
}

// The input method's composition goes into the text when the method commits it, and is
// dropped when it does not.
void PlainTextBox::commitPreedit() {
    if (preedit_.text.isEmpty())
        return;
    QGuiApplication::inputMethod()->commit();
    dropPreedit();
}

void PlainTextBox::dropPreedit() {
    if (preedit_.text.isEmpty())
        return;
    preedit_ = {};
    if (hasFocus())
        QGuiApplication::inputMethod()->reset();
    viewport()->update();
}

// The caret's line, as an input method is told of it: at most AccessibleTextLimit characters
// of it about the caret, as a screen reader is told.
std::pair<std::size_t, std::size_t> PlainTextBox::surroundingText() const {
    const std::size_t half = AccessibleTextLimit / 2;
    return {text_.findLineStart(caret_, caret_ > half ? caret_ - half : 0),
            text_.findLineBreak(caret_, std::min(text_.size(), caret_ + half))};
}

QVariant PlainTextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    const std::size_t half = AccessibleTextLimit / 2;
    switch (query) {
    case Qt::ImEnabled:
        return !readOnly_;
    case Qt::ImReadOnly:
        return readOnly_;
    case Qt::ImCursorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return rows_.font();
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImSurroundingText: {
        const auto [from, to] = surroundingText();
        return textOf(from, to);
    }
    case Qt::ImCursorPosition:
        return static_cast<int>(caret_ - surroundingText().first);
    case Qt::ImAnchorPosition: {
        const auto [from, to] = surroundingText();
        return static_cast<int>(std::clamp(anchor_, from, to) - from);
    }
    case Qt::ImAbsolutePosition:
        return static_cast<qlonglong>(caret_);
    case Qt::ImCurrentSelection: {
        const auto [from, to] = selection();
        return textOf(from, std::min(to, from + AccessibleTextLimit));
    }
    case Qt::ImTextBeforeCursor:
        return textOf(caret_ > half ? caret_ - half : 0, caret_);
    case Qt::ImTextAfterCursor:
        return textOf(caret_, std::min(text_.size(), caret_ + half));
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void PlainTextBox::mousePressEvent(QMouseEvent* event) {
    commitPreedit();
    if (event->button() != Qt::LeftButton)
        return;
    text_.endTyping();
    goalX_ = -1;
    const std::size_t at = positionAt(event->position());
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const auto [from, to] = selection();
    // A press on the selection may drag it; a release without a drag puts the caret there.
    if (!extend && from < to && from <= at && at <= to) {
        mayDrag_ = true;
        pressPoint_ = event->position();
        return;
    }
    selecting_ = true;
    setCaret(at, extend);
}

void PlainTextBox::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if (mayDrag_) {
        if ((event->position() - pressPoint_).manhattanLength() >
            QApplication::startDragDistance()) {
            mayDrag_ = false;
            startDrag();
        }
        return;
    }
    if (!selecting_)
        return;
    dragPoint_ = event->position();
    // Dragging past the top or the bottom scrolls, and goes on scrolling while the mouse stays.
    if (dragPoint_.y() < 0 || dragPoint_.y() >= viewport()->height()) {
        if (!dragScrollTimer_.isActive())
            dragScrollTimer_.start(DragScrollMilliseconds, this);
    } else {
        dragScrollTimer_.stop();
    }
    setCaret(positionAt(dragPoint_), true);
}

void PlainTextBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (mayDrag_)
            setCaret(positionAt(event->position()), false);
        else if (selecting_)
            setPrimarySelection();
        mayDrag_ = selecting_ = false;
        dragScrollTimer_.stop();
    } else if (event->button() == Qt::MiddleButton && !readOnly_ &&
               QGuiApplication::clipboard()->supportsSelection()) {
        text_.endTyping();
        goalX_ = -1;
        setCaret(positionAt(event->position()), false);
        if (const QMimeData* primary =
                QGuiApplication::clipboard()->mimeData(QClipboard::Selection))
            replaceSelection(primary->text(), false);
    }
}

void PlainTextBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [from, to] = boundaries_.wordAt(positionAt(event->position()));
    setCaret(from, false);
    setCaret(to, true);
    setPrimarySelection();
    mayDrag_ = false;
    selecting_ = true;
}

void PlainTextBox::wheelEvent(QWheelEvent* event) {
    wheelDelta_ += event->angleDelta().y();
    const int steps = wheelDelta_ / QWheelEvent::DefaultDeltasPerStep;
    wheelDelta_ -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        scrollRows(-static_cast<long>(steps) * QApplication::wheelScrollLines());
    event->accept();
}

void PlainTextBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---- Drag and drop ----

// The selection dragged away: moved, or copied with Ctrl, into this box, another one or another
// program. What was moved elsewhere goes from here, unless this box changed in the meantime.
void PlainTextBox::startDrag() {
    const auto [from, to] = selection();
    auto* drag = new QDrag(this); // which the toolkit deletes once the drag ends
    drag->setMimeData(new CopiedText(text_.part(from, to - from), this, from, to));
    const Qt::DropAction action = readOnly_
                                      ? drag->exec(Qt::CopyAction, Qt::CopyAction)
                                      : drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    if (action == Qt::MoveAction && drag->target() != viewport() &&
        selection() == std::pair{from, to})
        removeRange(from, to);
}

// Text, from this box or anywhere else; not a file dropped, which the window may open.
bool PlainTextBox::takesDrop(const QMimeData* data) const {
    if (readOnly_ || !data || !data->hasText())
        return false;
    const QList<QUrl> urls = data->urls();
    return urls.isEmpty() || !std::all_of(urls.begin(), urls.end(),
                                          [](const QUrl& url) { return url.isLocalFile(); });
}

// Where a drop puts its text; none inside the selection that moves.
std::optional<std::size_t> PlainTextBox::dropPosition(const QDropEvent* event) const {
    const std::size_t at = positionAt(event->position());
    const auto* dragged = dynamic_cast<const CopiedText*>(event->mimeData());
    const auto [from, to] = selection();
    if (event->dropAction() == Qt::MoveAction && dragged &&
        dragged->isDraggedFrom(this, selection()) && from <= at && at <= to)
        return std::nullopt;
    return at;
}

void PlainTextBox::dragEnterEvent(QDragEnterEvent* event) {
    if (takesDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void PlainTextBox::dragMoveEvent(QDragMoveEvent* event) {
    dropCaret_ = takesDrop(event->mimeData()) ? dropPosition(event) : std::nullopt;
    if (dropCaret_)
        event->acceptProposedAction();
    else
        event->ignore();
    viewport()->update();
}

void PlainTextBox::dragLeaveEvent(QDragLeaveEvent*) {
    dropCaret_.reset();
    viewport()->update();
}

void PlainTextBox::dropEvent(QDropEvent* event) {
    dropCaret_.reset();
    viewport()->update();
    const auto at = takesDrop(event->mimeData()) ? dropPosition(event) : std::nullopt;
    if (!at) {
        event->ignore();
        return;
    }
    text_.endTyping();
    const auto [from, to] = selection();
    const auto* dragged = dynamic_cast<const CopiedText*>(event->mimeData());
    if (event->dropAction() == Qt::MoveAction && dragged &&
        dragged->isDraggedFrom(this, selection())) {
        // Within the box: one undo step, and nothing copied.
        edited(text_.move(from, to - from, *at), *at < from ? *at + (to - from) : *at);
    } else {
        const QString text = event->mimeData()->text();
        if (text.isEmpty()) {
            event->ignore();
            return;
        }
        caret_ = anchor_ = *at;
        replaceSelection(text, false);
    }
    event->acceptProposedAction();
}

void PlainTextBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
}

void PlainTextBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    // The input method follows the focus on its own.
    preedit_ = {};
    blinkTimer_.stop();
    caretOn_ = false;
    viewport()->update();
}

void PlainTextBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blinkTimer_.timerId()) {
        caretOn_ = !caretOn_;
        viewport()->update(caretRect());
    } else if (event->timerId() == dragScrollTimer_.timerId()) {
        scrollRows(dragPoint_.y() < 0 ? -1 : 1);
        setCaret(positionAt(dragPoint_), true);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}
