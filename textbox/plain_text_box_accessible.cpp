#include "textbox/plain_text_box_accessible.h"

#include "textbox/plain_text_box.h"

#include <QAccessibleWidget>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <utility>

// What a screen reader asks of the box: its text, caret and selection, read a part at a time,
// never more than AccessibleTextLimit characters at once.
class PlainTextBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit PlainTextBoxAccessible(PlainTextBox* box)
        : QAccessibleWidget(box, QAccessible::EditableText) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !box().readOnly_;
        state.readOnly = box().readOnly_;
        state.multiLine = !box().oneLine();
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? text(0, -1) : QAccessibleWidget::text(kind);
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
    // From `start` to `end`, or to the end of the text when `end` is negative.
    QString text(int start, int end) const override {
        const std::size_t from = position(start);
        const std::size_t to = end < 0 ? box().text_.size() : std::max(from, position(end));
        return box().textOf(from, std::min(to, from + AccessibleTextLimit));
    }
    int characterCount() const override { return static_cast<int>(box().length()); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                         int* end) const override {
        return answer(unitAt(position(offset), boundary), start, end);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                             int* end) const override {
        const Unit unit = unitAt(position(offset), boundary);
        if (unit.first == 0)
            return answer({0, 0}, start, end);
        return answer(unitAt(unit.first - 1, boundary), start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundary, int* start,
                            int* end) const override {
        const Unit unit = unitAt(position(offset), boundary);
        const std::size_t size = box().text_.size();
        if (unit.second >= size)
            return answer({size, size}, start, end);
        return answer(unitAt(unit.second, boundary), start, end);
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

    // The character, word, sentence or line at `at`, or the whole text. A line runs to its line
    // end, whatever the box's width: a value that wraps is heard whole; in a box that is read
    // whole, it is the whole text.
    Unit unitAt(std::size_t at, QAccessible::TextBoundaryType boundary) const {
        switch (boundary) {
        case QAccessible::CharBoundary:
            return Unit{at, box().boundaries_.nextCluster(at)};
        case QAccessible::WordBoundary:
            return unitInStretch(at, QTextBoundaryFinder::Word);
        case QAccessible::SentenceBoundary:
            return unitInStretch(at, QTextBoundaryFinder::Sentence);
        case QAccessible::LineBoundary:
        case QAccessible::ParagraphBoundary:
            return lineAt(at);
        case QAccessible::NoBoundary:
            break;
        }
        return Unit{0, box().text_.size()};
    }

    // Words, sentences and lines are looked for only within the stretch of AccessibleTextLimit
    // characters that holds `at` (at the end, the last one), so that no request reads more; one
    // longer than that, or one across the edge of a stretch, is told in parts.
    Unit stretch(std::size_t at) const {
        const std::size_t size = box().text_.size();
        const std::size_t from =
            (at == size && at > 0 ? at - 1 : at) / AccessibleTextLimit * AccessibleTextLimit;
        return {from, std::min(size, from + AccessibleTextLimit)};
    }

    Unit unitInStretch(std::size_t at, QTextBoundaryFinder::BoundaryType type) const {
        const auto [from, to] = stretch(at);
        const QString text = box().textOf(from, to);
        // At the end of the text, the unit before it.
        const auto offset = static_cast<qsizetype>(at - from) - (at == to && at > from ? 1 : 0);
        QTextBoundaryFinder finder(type, text);
        finder.setPosition(offset);
        const qsizetype start = finder.isAtBoundary() ? offset : finder.toPreviousBoundary();
        finder.setPosition(offset);
        const qsizetype end = finder.toNextBoundary();
        return {from + static_cast<std::size_t>(std::max<qsizetype>(start, 0)),
                from + static_cast<std::size_t>(end < 0 ? text.size() : end)};
    }

    // The line with its line end, which a CR LF, a lone CR or a lone LF makes.
    Unit lineAt(std::size_t at) const {
        const auto [from, to] = stretch(at);
        if (box().readsWhole_)
            return {from, to};
        const QString text = box().textOf(from, to);
        const auto isLineEnd = [&](qsizetype i) {
            return text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n');
        };
        qsizetype start = static_cast<qsizetype>(at - from);
        qsizetype end = start;
        while (start > 0 && !isLineEnd(start - 1))
            --start;
        while (end < text.size() && !isLineEnd(end))
            ++end;
        if (end < text.size())
            end += text.mid(end, 2) == QLatin1String("\r\n") ? 2 : 1;
        return {from + static_cast<std::size_t>(start), from + static_cast<std::size_t>(end)};
    }

    QString answer(Unit unit, int* start, int* end) const {
        unit.second = std::min(unit.second, unit.first + AccessibleTextLimit);
        *start = static_cast<int>(unit.first);
        *end = static_cast<int>(unit.second);
        return box().textOf(unit.first, unit.second);
    }
};

QAccessibleInterface* plainTextBoxAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("PlainTextBox") && object && object->isWidgetType())
        return new PlainTextBoxAccessible(static_cast<PlainTextBox*>(object));
    return nullptr;
}

// As in Qt's own text boxes, the removed text is told by its length only.
void PlainTextBox::notifyTextChange(std::size_t position, std::size_t removed,
                                    std::size_t inserted) {
    if (!QAccessible::isActive() || (removed == 0 && inserted == 0))
        return;
    QAccessibleTextUpdateEvent event(
        this, static_cast<int>(position),
        QString(static_cast<qsizetype>(std::min(removed, AccessibleTextLimit)), QLatin1Char(' ')),
        textOf(position, position + std::min(inserted, AccessibleTextLimit)));
    QAccessible::updateAccessibility(&event);
}
