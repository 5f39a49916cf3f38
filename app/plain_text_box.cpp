#include "app/plain_text_box.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

using textbox::Glyph;
using textbox::Row;
using textbox::RowGlyphs;

namespace {

// Room around the text, as a QPlainTextEdit's document margin gives it.
constexpr int Margin = 4;
constexpr int DragScrollMilliseconds = 50;

std::u16string_view utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()),
            static_cast<std::size_t>(text.size())};
}

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

} // namespace

// What a screen reader asks of the box: its text, caret and selection, read a part at a time.
class PlainTextBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PlainTextBoxAccessible(PlainTextBox* box)
        : QAccessibleWidget(box, QAccessible::EditableText) {}

    static QAccessibleInterface* create(const QString& className, QObject* object) {
        if (className == QLatin1String("PlainTextBox") && object && object->isWidgetType())
            return new PlainTextBoxAccessible(static_cast<PlainTextBox*>(object));
        return nullptr;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !box().readOnly_;
        state.readOnly = box().readOnly_;
        state.multiLine = !box().oneLine();
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? box().toPlainText() : QAccessibleWidget::text(kind);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    void selection(int index, int* start, int* end) const override {
        const auto [from, to] = box().selection();
        const bool selected = index == 0 && from != to;
        *start = selected ? static_cast<int>(from) : 0;
        *end = selected ? static_cast<int>(to) : 0;
    }
    int selectionCount() const override { return box().caret_ != box().anchor_ ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { box().setCaret(box().caret_, false); }
    void setSelection(int, int start, int end) override {
        box().setCaret(position(start), false);
        box().setCaret(position(end), true);
    }
    int cursorPosition() const override { return static_cast<int>(box().caret_); }
    void setCursorPosition(int offset) override { box().setCursorPosition(position(offset)); }
    QString text(int start, int end) const override {
        return box().textOf(position(start), std::max(position(start), position(end)));
    }
    int characterCount() const override { return static_cast<int>(box().length()); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override {
        const auto unit = unitAt(position(offset), boundary);
        if (!unit)
            return QAccessibleTextInterface::textAtOffset(offset, boundary, start, end);
        return answer(*unit, start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override {
        const auto unit = unitAt(position(offset), boundary);
        if (!unit)
            return QAccessibleTextInterface::textBeforeOffset(offset, boundary, start, end);
        if (unit->first == 0)
            return answer({0, 0}, start, end);
        return answer(*unitAt(unit->first - 1, boundary), start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override {
        const auto unit = unitAt(position(offset), boundary);
        if (!unit)
            return QAccessibleTextInterface::textAfterOffset(offset, boundary, start, end);
        const std::size_t size = box().text_.size();
        if (unit->second >= size)
            return answer({size, size}, start, end);
        return answer(*unitAt(unit->second, boundary), start, end);
    }

    QRect characterRect(int offset) const override {
        const auto cell = box().cellAt(position(offset));
        if (!cell)
            return {};
        const QRect rect = cell->toAlignedRect();
        return {box().viewport()->mapToGlobal(rect.topLeft()), rect.size()};
    }
    int offsetAtPoint(const QPoint& point) const override {
        return static_cast<int>(box().positionAt(box().viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int start, int) override { box().ensureVisible(position(start)); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    using Unit = std::pair<std::size_t, std::size_t>;

    PlainTextBox& box() const { return *static_cast<PlainTextBox*>(object()); }

    std::size_t position(int offset) const {
        return std::min(static_cast<std::size_t>(std::max(offset, 0)), box().text_.size());
    }

    // The character, word or line at `at`; none for units that take the whole text to find.
    std::optional<Unit> unitAt(std::size_t at, QAccessible::TextBoundaryType boundary) const {
        const textbox::TextRows& rows = box().rows_;
        switch (boundary) {
        case QAccessible::CharBoundary:
            return Unit{at, rows.nextCluster(at)};
        case QAccessible::WordBoundary:
            return rows.wordAt(at);
        case QAccessible::LineBoundary: {
            const Row row = rows.rowAt(at);
            return Unit{row.start, row.next};
        }
        case QAccessible::NoBoundary:
            return Unit{0, box().text_.size()};
        default:
            return std::nullopt;
        }
    }

    QString answer(Unit unit, int* start, int* end) const {
        *start = static_cast<int>(unit.first);
        *end = static_cast<int>(unit.second);
        return box().textOf(unit.first, unit.second);
    }
};

PlainTextBox::PlainTextBox(QWidget* parent) : QAbstractScrollArea(parent), rows_(text_) {
    static const bool accessible =
        (QAccessible::installFactory(&PlainTextBoxAccessible::create), true);
    Q_UNUSED(accessible);
    // Column arithmetic is the fast path: a fixed-pitch font unless the program sets another.
    QFont fixedPitch = font();
    fixedPitch.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    fixedPitch.setStyleHint(QFont::TypeWriter);
    setFont(fixedPitch);
    rows_.setFont(font());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    keepScrollBarsPalette();
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &PlainTextBox::scrollBarAction);
    newText();
}

// ---- The text ----

void PlainTextBox::setPlainText(const QString& text) {
    const auto kept = std::make_shared<const QString>(text);
    text_.setUtf16(utf16(*kept), kept);
    newText();
}

void PlainTextBox::setWindows1252Text(std::shared_ptr<const std::string> bytes) {
    text_.setWindows1252(std::move(bytes));
    newText();
}

void PlainTextBox::newText() {
    rows_.reset();
    top_ = shift_ = caret_ = anchor_ = 0;
    goalX_ = -1;
    layOut();
    updateScrollBar();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, QString());
        QAccessible::updateAccessibility(&event);
    }
    emit textChanged();
}

QString PlainTextBox::toPlainText() const {
    return textOf(0, text_.size());
}

qsizetype PlainTextBox::length() const {
    return static_cast<qsizetype>(text_.size());
}

QString PlainTextBox::textOf(std::size_t from, std::size_t to) const {
    QString text(static_cast<qsizetype>(to - from), Qt::Uninitialized);
    text_.read(from, to - from, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

QString PlainTextBox::selectedText() const {
    const auto [from, to] = selection();
    return textOf(from, to);
}

void PlainTextBox::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
}

void PlainTextBox::setLineWrapMode(LineWrapMode mode) {
    wrapMode_ = mode;
    shift_ = 0;
    relayout();
}

// ---- The view ----

bool PlainTextBox::oneLine() const {
    return viewport()->height() - 2 * Margin < 2 * rows_.lineHeight();
}

// A box one line high shows its line in the middle, as a line edit does.
qreal PlainTextBox::firstRowY() const {
    return oneLine() ? std::floor((viewport()->height() - rows_.lineHeight()) / 2) : Margin;
}

int PlainTextBox::fullRows() const {
    return oneLine() ? 1
                     : static_cast<int>((viewport()->height() - 2 * Margin) / rows_.lineHeight());
}

int PlainTextBox::caretWidth() const {
    return style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
}

qreal PlainTextBox::textWidth() const {
    return viewport()->width() - 2 * Margin - caretWidth();
}

// Where a row is drawn from: its start, or without wrapping the first column in view.
std::size_t PlainTextBox::origin(const Row& row) const {
    if (wrapMode_ == WidgetWidth)
        return row.start;
    return rows_.boundaryFrom(std::min(row.start + shift_, row.end));
}

RowGlyphs PlainTextBox::glyphsOf(const Row& row) const {
    return rows_.glyphs(row, origin(row),
                        wrapMode_ == WidgetWidth ? std::numeric_limits<qreal>::infinity()
                                                 : textWidth());
}

void PlainTextBox::relayout() {
    rows_.setWrapping(wrapMode_ == WidgetWidth, textWidth());
    top_ = rows_.rowAt(top_).start;
    layOut();
    updateScrollBar();
    viewport()->update();
}

// The rows on screen from the top one; scrolled to the end, the last row sits at the bottom.
void PlainTextBox::layOut() {
    const std::size_t size = text_.size();
    const auto full = static_cast<std::size_t>(fullRows());
    const std::size_t onScreen =
        oneLine() ? 1
                  : static_cast<std::size_t>(
                        std::ceil((viewport()->height() - Margin) / rows_.lineHeight()));
    shown_.clear();
    Row row = rows_.rowFrom(top_);
    shown_.push_back(row);
    while (shown_.size() < onScreen && row.end < size) {
        row = rows_.rowFrom(row.next);
        shown_.push_back(row);
    }
    while (shown_.size() < full && shown_.back().end == size) {
        const auto before = rows_.rowBefore(top_);
        if (!before)
            break;
        top_ = before->start;
        shown_.insert(shown_.begin(), *before);
    }
}

bool PlainTextBox::endShown() const {
    return shown_.back().end == text_.size() &&
           shown_.size() <= static_cast<std::size_t>(fullRows());
}

// The scroll bar counts characters, in steps that keep its range within an int.
int PlainTextBox::scrollValue() const {
    const std::size_t step = text_.size() / INT_MAX + 1;
    return endShown() ? verticalScrollBar()->maximum() : static_cast<int>(top_ / step);
}

void PlainTextBox::updateScrollBar() {
    const std::size_t step = text_.size() / INT_MAX + 1;
    const bool fits = top_ == 0 && endShown();
    const std::size_t shownEnd = shown_.back().next;
    QScrollBar* bar = verticalScrollBar();
    settingScrollBar_ = true;
    bar->setRange(0, fits ? 0 : std::max(1, static_cast<int>(text_.size() / step)));
    bar->setPageStep(std::max(1, static_cast<int>((shownEnd - top_) / step)));
    bar->setValue(scrollValue());
    settingScrollBar_ = false;
}

void PlainTextBox::scrollContentsBy(int, int) {
    if (settingScrollBar_)
        return;
    const QScrollBar* bar = verticalScrollBar();
    const int value = bar->value();
    if (value == scrollValue())
        return;
    if (value >= bar->maximum())
        showEnd();
    else
        top_ = rows_.rowAt(static_cast<std::size_t>(value) * (text_.size() / INT_MAX + 1)).start;
    layOut();
    updateScrollBar();
    viewport()->update();
}

// The scroll bar's arrows and page clicks go by rows, not by the characters it counts.
void PlainTextBox::scrollBarAction(int action) {
    const long page = std::max(1, fullRows() - 1);
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        scrollRows(1);
        break;
    case QAbstractSlider::SliderSingleStepSub:
        scrollRows(-1);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        scrollRows(page);
        break;
    case QAbstractSlider::SliderPageStepSub:
        scrollRows(-page);
        break;
    default:
        return;
    }
    verticalScrollBar()->setSliderPosition(scrollValue());
}

void PlainTextBox::scrollRows(long count) {
    const std::size_t size = text_.size();
    for (; count > 0; --count) {
        const Row row = rows_.rowFrom(top_);
        if (row.end == size)
            break;
        top_ = row.next;
    }
    for (; count < 0; ++count) {
        const auto before = rows_.rowBefore(top_);
        if (!before)
            break;
        top_ = before->start;
    }
    layOut();
    updateScrollBar();
    viewport()->update();
}

// The row so many rows above this one, or the first row.
Row PlainTextBox::rowsAbove(Row row, int count) const {
    for (; count > 0; --count) {
        const auto before = rows_.rowBefore(row.start);
        if (!before)
            break;
        row = *before;
    }
    return row;
}

void PlainTextBox::showEnd() {
    top_ = rowsAbove(rows_.rowAt(text_.size()), fullRows() - 1).start;
}

void PlainTextBox::ensureVisible(std::size_t position) {
    layOut();
    const std::size_t full = std::min<std::size_t>(fullRows(), shown_.size());
    const bool shown = std::any_of(shown_.begin(), shown_.begin() + static_cast<long>(full),
                                   [&](const Row& row) { return row.holds(position); });
    if (!shown) {
        const Row row = rows_.rowAt(position);
        top_ = (position > top_ ? rowsAbove(row, fullRows() - 1) : row).start;
        layOut();
    }
    if (wrapMode_ == NoWrap)
        followHorizontally(position);
    updateScrollBar();
    viewport()->update();
}

// Without wrapping, the view moves sideways by columns until the caret shows.
void PlainTextBox::followHorizontally(std::size_t position) {
    const Row row = rows_.rowAt(position);
    const std::size_t column = position - row.start;
    const qreal width = textWidth();
    const auto fit = static_cast<std::size_t>(std::max<qreal>(1, width / rows_.cellWidth()));
    if (column < shift_)
        shift_ = column;
    else if (column > shift_ + fit)
        shift_ = column - fit;
    for (;;) {
        const RowGlyphs glyphs = glyphsOf(row);
        if (glyphs.from >= position || (position <= glyphs.end() && glyphs.xAt(position) <= width))
            return;
        ++shift_;
    }
}

// ---- Painting ----

void PlainTextBox::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setFont(rows_.font());
    painter.setLayoutDirection(Qt::LeftToRight);
    const QRect clip = event->rect();
    const qreal height = rows_.lineHeight();
    qreal y = firstRowY();
    for (const Row& row : shown_) {
        if (y > clip.bottom())
            break;
        if (y + height > clip.top())
            drawRow(painter, row, y);
        y += height;
    }
    if (caretOn_ && hasFocus())
        painter.fillRect(caretRect(), palette().color(QPalette::Text));
}

void PlainTextBox::drawRow(QPainter& painter, const Row& row, qreal y) const {
    const RowGlyphs glyphs = glyphsOf(row);
    const auto [selectionStart, selectionEnd] = selection();
    const auto selected = [&](std::size_t position) {
        return selectionStart <= position && position < selectionEnd;
    };
    const QPalette& colours = palette();

    qreal selectedFrom = -1, selectedTo = -1;
    for (const Glyph& glyph : glyphs.glyphs)
        if (selected(glyph.position)) {
            if (selectedFrom < 0)
                selectedFrom = glyph.x;
            selectedTo = glyph.x + glyph.width;
        }
    // A selected line break shows as one selected blank.
    if (row.endsLine && row.end < text_.size() && selected(row.end) && glyphs.end() == row.end) {
        if (selectedFrom < 0)
            selectedFrom = glyphs.width;
        selectedTo = glyphs.width + rows_.cellWidth();
    }
    if (selectedFrom >= 0)
        painter.fillRect(
            QRectF(Margin + selectedFrom, y, selectedTo - selectedFrom, rows_.lineHeight()),
            colours.color(QPalette::Highlight));

    const qreal baseline = y + rows_.ascent();
    const auto& list = glyphs.glyphs;
    for (std::size_t i = 0; i < list.size();) {
        const Glyph& glyph = list[i];
        const bool inSelection = selected(glyph.position);
        std::size_t next = i + 1;
        if (glyph.kind == Glyph::Run)
            while (next < list.size() && list[next].kind == Glyph::Run &&
                   selected(list[next].position) == inSelection)
                ++next;
        const std::size_t end = next < list.size() ? list[next].position : glyphs.end();
        painter.setPen(colours.color(inSelection ? QPalette::HighlightedText : QPalette::Text));
        switch (glyph.kind) {
        case Glyph::Run:
        case Glyph::Alone:
            painter.drawText(QPointF(Margin + glyph.x + glyph.inkOffset, baseline),
                             glyphs.text.mid(static_cast<qsizetype>(glyph.position - glyphs.from),
                                             static_cast<qsizetype>(end - glyph.position)));
            break;
        case Glyph::Control: {
            const qreal height = std::max<qreal>(2, rows_.ascent() * 0.7);
            painter.drawRect(QRectF(Margin + glyph.x + 1.5, baseline - height + 0.5,
                                    glyph.width - 3, height - 1));
            break;
        }
        case Glyph::Blank:
            break;
        }
        i = next;
    }
}

// The box of the glyph at `position`, in the viewport, when its row is on screen.
std::optional<QRectF> PlainTextBox::cellAt(std::size_t position) const {
    qreal y = firstRowY();
    for (const Row& row : shown_) {
        if (row.holds(position)) {
            const RowGlyphs glyphs = glyphsOf(row);
            if (position < glyphs.from)
                return std::nullopt;
            const qreal x = glyphs.xAt(position);
            qreal width = 0;
            for (const Glyph& glyph : glyphs.glyphs)
                if (glyph.position == position)
                    width = glyph.width;
            return QRectF(Margin + x, y, width, rows_.lineHeight());
        }
        y += rows_.lineHeight();
    }
    return std::nullopt;
}

QRect PlainTextBox::caretRect() const {
    const auto cell = cellAt(caret_);
    if (!cell)
        return {};
    // A blank hanging past the edge would put the caret out of view.
    const qreal x = std::min(cell->x(), Margin + textWidth());
    return QRectF(x, cell->y(), caretWidth(), cell->height()).toAlignedRect();
}

// The scroll bars keep the application's looks when the box is given, say, blue text.
void PlainTextBox::keepScrollBarsPalette() {
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        QPalette palette = QApplication::palette(bar);
        palette.setResolveMask(~QPalette::ResolveMask(0));
        bar->setPalette(palette);
    }
}

void PlainTextBox::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::FontChange:
        rows_.setFont(font());
        relayout();
        break;
    case QEvent::StyleChange: // the caret's width, and with it the rows'
        relayout();
        break;
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        keepScrollBarsPalette();
        break;
    default:
        break;
    }
}

void PlainTextBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

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
    for (const Glyph& glyph : glyphs.glyphs)
        if (x < glyph.x + glyph.width / 2)
            return glyph.position;
    return glyphs.end() < row.end ? glyphs.end() : rowEnd(row);
}

// The last caret position on a row: before its last character when the row wraps, so that the
// caret stays on it.
std::size_t PlainTextBox::rowEnd(const Row& row) const {
    return row.endsLine ? row.end : rows_.previousCluster(row.end);
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
    return rows_.boundaryFrom(std::min(row.start + static_cast<std::size_t>(goalX_), row.end));
}

void PlainTextBox::setCaret(std::size_t position, bool select) {
    const std::size_t caret = caret_, anchor = anchor_;
    caret_ = rows_.boundaryFrom(position);
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

void PlainTextBox::moveCaret(Move move, bool select) {
    text_.endTyping();
    const auto [from, to] = selection();
    const bool collapse = !select && from != to;
    std::size_t target = caret_;
    bool vertical = false;
    switch (move) {
    case Move::NextChar:
        target = collapse ? to : rows_.nextCluster(caret_);
        break;
    case Move::PreviousChar:
        target = collapse ? from : rows_.previousCluster(caret_);
        break;
    case Move::NextWord:
        target = rows_.nextWord(caret_);
        break;
    case Move::PreviousWord:
        target = rows_.previousWord(caret_);
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
}

void PlainTextBox::restartBlink() {
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
        change = text_.type(from, to - from, utf16(text));
    } else {
        const auto kept = std::make_shared<const QString>(text);
        change = text_.replace(from, to - from, utf16(*kept), kept);
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
    // The top row stays unless the edit reached it or came before it.
    constexpr std::size_t Reach = 64;
    if (change.position <= top_ + Reach) {
        const std::size_t moved = change.position + change.removed <= top_
                                      ? top_ - change.removed + change.inserted
                                      : std::min(top_, change.position);
        top_ = rows_.rowAt(moved).start;
    }
    caret_ = anchor_ = rows_.boundaryFrom(std::min(caret, text_.size()));
    goalX_ = -1;
    if (QAccessible::isActive()) {
        // As in Qt's own text boxes, the removed text is told by its length only.
        QAccessibleTextUpdateEvent event(
            this, static_cast<int>(change.position),
            QString(static_cast<qsizetype>(change.removed), QLatin1Char(' ')),
            textOf(change.position, change.position + change.inserted));
        QAccessible::updateAccessibility(&event);
    }
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
    if (caret_ != anchor_)
        QGuiApplication::clipboard()->setText(selectedText());
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

// Typed text, as Qt's own text boxes take it: Ctrl with a key is a command, AltGr is not.
QString PlainTextBox::typedText(const QKeyEvent* event) const {
    const QString text = event->text();
    if (text.isEmpty())
        return {};
    const QChar first = text.front();
    if (first.category() == QChar::Other_Format)
        return text;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
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
        removeRange(from, none ? rows_.nextCluster(caret_) : to);
    else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier))
        removeRange(none ? rows_.previousCharacter(caret_) : from, to);
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        removeRange(none ? rows_.previousWord(caret_) : from, to);
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        removeRange(from, none ? rows_.nextWord(caret_) : to);
    else
        return false;
    return true;
}

void PlainTextBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
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
    event->accept();
}

QVariant PlainTextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return !readOnly_;
    case Qt::ImCursorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return rows_.font();
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void PlainTextBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    text_.endTyping();
    goalX_ = -1;
    selecting_ = true;
    setCaret(positionAt(event->position()), event->modifiers() & Qt::ShiftModifier);
}

void PlainTextBox::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_ || !(event->buttons() & Qt::LeftButton))
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
        selecting_ = false;
        dragScrollTimer_.stop();
    }
}

void PlainTextBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [from, to] = rows_.wordAt(positionAt(event->position()));
    setCaret(from, false);
    setCaret(to, true);
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

void PlainTextBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
}

void PlainTextBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
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
