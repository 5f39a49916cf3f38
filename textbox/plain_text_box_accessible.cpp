#include "textbox/plain_text_box_accessible.h"

#include "textbox/plain_text_box.h"

#include <QAccessibleWidget>

#include <algorithm>
#include <optional>
#include <utility>

using textbox::Row;

// What a screen reader asks of the box: its text, caret and selection, read a part at a time.
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
        const textbox::TextBoundaries& boundaries = box().boundaries_;
        switch (boundary) {
        case QAccessible::CharBoundary:
            return Unit{at, boundaries.nextCluster(at)};
        case QAccessible::WordBoundary:
            return boundaries.wordAt(at);
        case QAccessible::LineBoundary: {
            const Row row = box().rows_.rowAt(at);
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

QAccessibleInterface* plainTextBoxAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("PlainTextBox") && object && object->isWidgetType())
        return new PlainTextBoxAccessible(static_cast<PlainTextBox*>(object));
    return nullptr;
}
