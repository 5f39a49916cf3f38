// The box: its text, the view of its rows, scrolling and painting.

#include "textbox/plain_text_box.h"

#include "textbox/plain_text_box_accessible.h"
#include "textbox/utf16.h"

#include <QAccessible>
#include <QApplication>
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

PlainTextBox::PlainTextBox(QWidget* parent)
    : QAbstractScrollArea(parent), boundaries_(text_), rows_(text_) {
    static const bool accessible = (QAccessible::installFactory(&plainTextBoxAccessible), true);
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
    viewport()->setAcceptDrops(true);
    keepScrollBarsPalette();
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &PlainTextBox::scrollBarAction);
    newText(0);
}

// ---- The text ----

void PlainTextBox::setPlainText(const QString& text) {
    const std::size_t replaced = text_.size();
    const auto kept = std::make_shared<const QString>(text);
    text_.setUtf16(textbox::utf16(*kept), kept);
    newText(replaced);
}

void PlainTextBox::setUtf8Text(std::shared_ptr<const std::string> bytes) {
    const std::size_t replaced = text_.size();
    text_.setUtf8(std::move(bytes));
    newText(replaced);
}

void PlainTextBox::newText(std::size_t replaced) {
    dropPreedit();
    rows_.reset();
    top_ = shift_ = caret_ = anchor_ = 0;
    goalX_ = -1;
    layOut();
    updateScrollBar();
    viewport()->update();
    notifyTextChange(0, replaced, text_.size());
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
    if (readOnly)
        dropPreedit();
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
    return boundaries_.boundaryFrom(std::min(row.start + shift_, row.end));
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
    updateMicroFocus(); // the view moved, and the caret on screen with it
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
        if (glyphs.from >= position || (position <= glyphs.end() && glyphs.xAt(position) >= 0 &&
                                        glyphs.xAt(position) <= width))
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
        if (y + height > clip.top()) {
            if (!preedit_.text.isEmpty() && row.holds(caret_))
                drawRowWithPreedit(painter, row, y);
            else
                drawRow(painter, row, y);
        }
        y += height;
    }
    if (caretOn_ && hasFocus() && (preedit_.text.isEmpty() || preedit_.caretShown))
        painter.fillRect(caretRect(), palette().color(QPalette::Text));
    // Where a drag over the box would drop its text.
    if (const auto drop = dropCaret_ ? caretPoint(*dropCaret_) : std::nullopt)
        painter.fillRect(QRectF(drop->x(), drop->y(), caretWidth(), rows_.lineHeight()),
                         palette().color(QPalette::Text));
}

namespace {

// An input method's composition laid out on one line, in the formats the method gives it.
void layOutPreedit(QTextLayout& layout, const QString& text, const QFont& font,
                   const QList<QTextLayout::FormatRange>& formats) {
    layout.setText(text);
    layout.setFont(font);
    layout.setFormats(formats);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

} // namespace

// Where the composition shows: at the caret, pushing the rest of the row on, or as far right as
// the whole of it fits.
std::optional<QRectF> PlainTextBox::preeditRect() const {
    const auto caret = preedit_.text.isEmpty() ? std::nullopt : caretPoint(caret_);
    if (!caret)
        return std::nullopt;
    QTextLayout layout;
    layOutPreedit(layout, preedit_.text, rows_.font(), preedit_.formats);
    const qreal width = layout.lineAt(0).naturalTextWidth();
    const qreal x = std::min(caret->x(), std::max<qreal>(Margin, Margin + textWidth() - width));
    return QRectF(x, caret->y(), width, rows_.lineHeight());
}

void PlainTextBox::drawRowWithPreedit(QPainter& painter, const Row& row, qreal y) const {
    const QRectF at = *preeditRect();
    const qreal caretX = caretPoint(caret_)->x();
    const qreal height = rows_.lineHeight();
    painter.save();
    painter.setClipRect(QRectF(0, y, at.x(), height), Qt::IntersectClip);
    drawRow(painter, row, y);
    painter.restore();
    if (at.x() >= caretX) {
        painter.save();
        painter.translate(at.width(), 0);
        painter.setClipRect(QRectF(caretX, y, viewport()->width(), height), Qt::IntersectClip);
        drawRow(painter, row, y);
        painter.restore();
    }
    QTextLayout layout;
    layOutPreedit(layout, preedit_.text, rows_.font(), preedit_.formats);
    painter.fillRect(at, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    layout.draw(&painter, QPointF(at.x(), y + rows_.ascent() - layout.lineAt(0).ascent()));
}

void PlainTextBox::drawRow(QPainter& painter, const Row& row, qreal y) const {
    const RowGlyphs glyphs = glyphsOf(row);
    const auto [selectionStart, selectionEnd] = selection();
    const auto selected = [&](std::size_t position) {
        return selectionStart <= position && position < selectionEnd;
    };
    const QPalette& colours = palette();
    const qreal height = rows_.lineHeight();

    // A selected line break shows as one selected blank.
    if (row.endsLine && row.end < text_.size() && selected(row.end) && glyphs.end() == row.end)
        painter.fillRect(QRectF(Margin + glyphs.width, y, rows_.cellWidth(), height),
                         colours.color(QPalette::Highlight));
    const qreal baseline = y + rows_.ascent();
    if (glyphs.layout) {
        drawLaidOut(painter, glyphs, y);
        return;
    }
    for (const auto& [left, right] : glyphs.spans(selectionStart, selectionEnd))
        painter.fillRect(QRectF(Margin + left, y, right - left, height),
                         colours.color(QPalette::Highlight));
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

// A row that the toolkit lays out, drawn as it draws it, on the row's baseline whatever the
// heights of the faces it takes; the selection's background, which it paints as high as its
// line, is kept within the row.
void PlainTextBox::drawLaidOut(QPainter& painter, const RowGlyphs& glyphs, qreal y) const {
    const QTextLine line = glyphs.layout->lineAt(0);
    const QPointF origin(Margin + glyphs.offset, y + rows_.ascent() - line.ascent());
    const QPalette& colours = palette();
    const auto [selectionStart, selectionEnd] = selection();
    const std::size_t from = std::max(selectionStart, glyphs.from);
    const std::size_t to = std::min(selectionEnd, glyphs.end());
    QList<QTextLayout::FormatRange> selected;
    if (from < to) {
        QTextLayout::FormatRange range;
        range.start = static_cast<int>(from - glyphs.from);
        range.length = static_cast<int>(to - from);
        range.format.setBackground(colours.brush(QPalette::Highlight));
        painter.save();
        painter.setClipRect(QRectF(0, y, viewport()->width(), rows_.lineHeight()),
                            Qt::IntersectClip);
        painter.setPen(Qt::NoPen);
        glyphs.layout->draw(&painter, origin, {range});
        painter.restore();
        range.format = {};
        range.format.setForeground(colours.brush(QPalette::HighlightedText));
        selected.append(range);
    }
    painter.setPen(colours.color(QPalette::Text));
    glyphs.layout->draw(&painter, origin, selected);
}

// The glyphs of the row that shows the caret at `position`, and where the row is drawn, when
// it is on screen.
std::optional<std::pair<RowGlyphs, qreal>> PlainTextBox::shownRow(std::size_t position) const {
    qreal y = firstRowY();
    for (const Row& row : shown_) {
        if (row.holds(position)) {
            RowGlyphs glyphs = glyphsOf(row);
            if (position < glyphs.from)
                return std::nullopt;
            return std::pair{std::move(glyphs), y};
        }
        y += rows_.lineHeight();
    }
    return std::nullopt;
}

// The box of the glyph at `position`, in the viewport, when its row is on screen: that of its
// first character, whose marks the toolkit may draw apart from it after a change of direction.
std::optional<QRectF> PlainTextBox::cellAt(std::size_t position) const {
    const auto shown = shownRow(position);
    if (!shown)
        return std::nullopt;
    const auto& [glyphs, y] = *shown;
    qreal left = glyphs.xAt(position), right = left;
    const auto spans = glyphs.spans(position, boundaries_.boundaryFrom(position + 1));
    if (!spans.empty()) {
        left = spans.front().first;
        right = spans.back().second;
    }
    return QRectF(Margin + left, y, right - left, rows_.lineHeight());
}

// Where a caret at `position` stands in the viewport while its row is on screen: its x, and the
// row's top.
std::optional<QPointF> PlainTextBox::caretPoint(std::size_t position) const {
    const auto shown = shownRow(position);
    if (!shown)
        return std::nullopt;
    const auto& [glyphs, y] = *shown;
    // A blank hanging past the edge, the right one or in a row that reads from the right the
    // left one, would put the caret out of view.
    return QPointF(std::clamp(Margin + glyphs.xAt(position), 0.0, Margin + textWidth()), y);
}

QRect PlainTextBox::caretRect() const {
    if (const auto preedit = preeditRect()) {
        QTextLayout layout;
        layOutPreedit(layout, preedit_.text, rows_.font(), preedit_.formats);
        const qreal x = preedit->x() + layout.lineAt(0).cursorToX(preedit_.caret);
        return QRectF(x, preedit->y(), caretWidth(), preedit->height()).toAlignedRect();
    }
    const auto caret = caretPoint(caret_);
    if (!caret)
        return {};
    return QRectF(caret->x(), caret->y(), caretWidth(), rows_.lineHeight()).toAlignedRect();
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
