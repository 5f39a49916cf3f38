#include "app/controls.h"

#include "app/qt_text.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace {

template <typename Widget> Widget* control(QWidget& window, const char* name) {
    auto* widget = window.findChild<Widget*>(QLatin1String(name));
    Q_ASSERT_X(widget, name, "the window's design has no such control");
    return widget;
}

// A counter as a screen reader meets it. Its name says what it counts, and would hide the
// caption, the number itself, as it hides a label's text: the caption is read as its text and
// its value instead, read-only, with neither caret nor selection.
class CounterAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CounterAccessible(QLabel& label)
        : QAccessibleWidget(&label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? caption() : QAccessibleWidget::text(kind);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(int start, int end) const override { return caption().mid(start, end - start); }
    int characterCount() const override { return caption().size(); }
    // One run without attributes over the whole caption: a screen reader speaks a line in the
    // runs it is given, and would drop the last character after runs of none.
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    int selectionCount() const override { return 0; }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    // Where each character of the caption is drawn: a screen reader's review of the screen
    // reads only text that it finds there.
    QRect characterRect(int offset) const override {
        const QString shown = caption();
        if (offset < 0 || offset >= shown.size())
            return {};
        const QFontMetrics metrics = label().fontMetrics();
        const QRect line = captionRect();
        const QRect character(line.left() + metrics.horizontalAdvance(shown.left(offset)),
                              line.top(), metrics.horizontalAdvance(shown.at(offset)),
                              line.height());
        return {label().mapToGlobal(character.topLeft()), character.size()};
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint at = label().mapFromGlobal(point);
        const QString shown = caption();
        const QRect line = captionRect();
        if (!line.contains(at))
            return -1;
        const QFontMetrics metrics = label().fontMetrics();
        int offset = 0;
        while (offset + 1 < shown.size() &&
               line.left() + metrics.horizontalAdvance(shown.left(offset + 1)) <= at.x())
            ++offset;
        return offset;
    }
    void scrollToSubstring(int, int) override {}

private:
    const QLabel& label() const { return *static_cast<const QLabel*>(object()); }
    QString caption() const { return label().text(); }
    // The caption's line as the label draws it, in the label's coordinates.
    QRect captionRect() const {
        const QFontMetrics metrics = label().fontMetrics();
        return QStyle::alignedRect(label().layoutDirection(), label().alignment(),
                                   {metrics.horizontalAdvance(caption()), metrics.height()},
                                   label().contentsRect());
    }
};

// The path box as a screen reader meets it: the toolkit's line edit gives a run of text
// attributes that holds no character at each offset, and a screen reader that speaks a line in
// the runs it is given (Orca does) drops the line's last character, "bakery.htm" for
// "bakery.html". This gives one run over the whole path, and all else as the toolkit does.
class PathBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit PathBoxAccessible(QLineEdit& box)
        : QAccessibleWidget(&box, QAccessible::EditableText) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = !box().isReadOnly();
        state.readOnly = box().isReadOnly();
        state.selectableText = true;
        return state;
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? box().text() : QAccessibleWidget::text(kind);
    }
    void setText(QAccessible::Text kind, const QString& text) override {
        if (kind == QAccessible::Value)
            box().setText(text);
        else
            QAccessibleWidget::setText(kind, text);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(int start, int end) const override {
        return start > end ? QString() : box().text().mid(start, end - start);
    }
    int characterCount() const override { return box().text().size(); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }
    int cursorPosition() const override { return box().cursorPosition(); }
    void setCursorPosition(int position) override { box().setCursorPosition(position); }
    int selectionCount() const override { return box().hasSelectedText() ? 1 : 0; }
    void selection(int index, int* start, int* end) const override {
        const bool selected = index == 0 && box().hasSelectedText();
        *start = selected ? box().selectionStart() : 0;
        *end = selected ? box().selectionEnd() : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0)
            box().deselect();
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0)
            box().setSelection(start, end - start);
    }
    // Where a character is drawn: the toolkit gives the caret's place, the font the advance of
    // the text between the caret and the character.
    QRect characterRect(int offset) const override {
        const QString path = box().text();
        if (offset < 0 || offset >= path.size())
            return {};
        const QRectF caret = box().inputMethodQuery(Qt::ImCursorRectangle).toRectF();
        const QFontMetricsF metrics(box().font());
        const qreal x = caret.center().x() + metrics.horizontalAdvance(path.left(offset)) -
                        metrics.horizontalAdvance(path.left(box().cursorPosition()));
        const QRect character =
            QRectF(x, caret.top(), metrics.horizontalAdvance(path.at(offset)), metrics.height())
                .toRect();
        return {box().mapToGlobal(character.topLeft()), character.size()};
    }
    int offsetAtPoint(const QPoint& point) const override {
        return box().cursorPositionAt(box().mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override {
        box().setCursorPosition(end);
        box().setCursorPosition(start);
    }

    void deleteText(int start, int end) override {
        box().setText(box().text().remove(start, end - start));
    }
    void insertText(int offset, const QString& text) override {
        box().setText(box().text().insert(offset, text));
    }
    void replaceText(int start, int end, const QString& text) override {
        box().setText(box().text().replace(start, end - start, text));
    }

private:
    QLineEdit& box() const { return *static_cast<QLineEdit*>(object()); }
};

// The announcer's notice: a notification named by the line it says.
class NoticeAccessible : public QAccessibleWidget {
public:
    explicit NoticeAccessible(QWidget& notice)
        : QAccessibleWidget(&notice, QAccessible::Notification) {}
};

// In place of the toolkit's interface, made already if a screen reader asked for the control
// while the window was being built.
void replaceAccessible(QWidget& widget, QAccessibleInterface* interface) {
    QAccessible::deleteAccessibleInterface(
        QAccessible::uniqueId(QAccessible::queryAccessibleInterface(&widget)));
    QAccessible::registerAccessibleInterface(interface);
}

} // namespace

TextBox::TextBox(QWidget& window, const char* name) {
    QWidget* widget = control<QWidget>(window, name);
    box_ = qobject_cast<PlainTextBox*>(widget);
    path_ = qobject_cast<QLineEdit*>(widget);
    Q_ASSERT_X(box_ || path_, name, "not a text box");
    if (path_)
        replaceAccessible(*path_, new PathBoxAccessible(*path_));
}

QString TextBox::Text() const {
    return box_ ? box_->toPlainText() : path_->text();
}

qsizetype TextBox::Length() const {
    return box_ ? box_->length() : path_->text().size();
}

void TextBox::SetText(const QString& text) {
    if (box_)
        box_->setPlainText(text);
    else
        path_->setText(text);
}

void TextBox::SetText(std::string_view pageText) {
    SetText(fromPageText(pageText));
}

void TextBox::SetPage(const load::Page& page) {
    box_->setUtf8Text(page);
}

void TextBox::SetToolTip(const QString& tip) {
    QWidget* widget = box_ ? static_cast<QWidget*>(box_) : path_;
    widget->setToolTip(tip);
}

void TextBox::SetDescription(const QString& description) {
    QWidget* widget = box_ ? static_cast<QWidget*>(box_) : path_;
    widget->setAccessibleDescription(description);
}

void TextBox::ReadWhole() {
    box_->setReadsWhole(true);
}

bool TextBox::HasFocus() const {
    const QWidget* widget = box_ ? static_cast<QWidget*>(box_) : path_;
    return widget->window()->focusWidget() == widget;
}

Label::Label(QWidget& window, const char* name) : label_(control<QLabel>(window, name)) {
    label_->setTextFormat(Qt::PlainText);
    replaceAccessible(*label_, new CounterAccessible(*label_));
}

QString Label::Caption() const {
    return label_->text();
}

void Label::SetCaption(const QString& caption, const QString& description) {
    label_->setText(caption);
    label_->setAccessibleDescription(description);
}

void Label::SetForeColor(scan::Rgb colour) {
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, QColor(colour.red, colour.green, colour.blue));
    label_->setPalette(palette);
}

CommandButton::CommandButton(QWidget& window, const char* name)
    : button_(control<QPushButton>(window, name)) {}

void CommandButton::SetEnabled(bool enabled) {
    button_->setEnabled(enabled);
}

void CommandButton::SetDescription(const QString& description) {
    button_->setAccessibleDescription(description);
}

bool CommandButton::HasFocus() const {
    return button_->window()->focusWidget() == button_;
}

Announcer::Announcer(QWidget& window) : window_(&window), notice_(new QWidget(&window)) {
    notice_->setGeometry(0, 0, 0, 0);
    notice_->hide();
    QAccessible::registerAccessibleInterface(new NoticeAccessible(*notice_));
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old) {
        if (old && old == told_)
            takeBack();
    });
}

void Announcer::Announce(const QString& line) {
    takeBack();
    notice_->hide();
    notice_->setAccessibleName(line);
    notice_->show();
}

void Announcer::AnnounceWithFocus(const QString& line) {
    takeBack();
    QWidget* focus = window_->focusWidget();
    if (!focus) {
        Announce(line);
        return;
    }
    told_ = focus;
    description_ = focus->accessibleDescription();
    // A line that the description says already (the line ends with a full stop, the
    // description without) is not said twice.
    toldDescription_ = description_.isEmpty() ? line
                       : line.chopped(1) == description_
                           ? description_
                           : description_ + QStringLiteral(". ") + line;
    focus->setAccessibleDescription(toldDescription_);
}

// The control with the line says its own description again, unless a check has given it a new
// one since.
void Announcer::takeBack() {
    if (told_ && told_->accessibleDescription() == toldDescription_)
        told_->setAccessibleDescription(description_);
    told_ = nullptr;
}

CommonDialog::CommonDialog(QWidget& window, const char* name)
    : dialog_(control<QFileDialog>(window, name)) {
    dialog_->setIconProvider(&icons_);
}

// The dialog goes before its icon provider: its folder reader asks for icons until it stops.
CommonDialog::~CommonDialog() {
    delete dialog_;
}

void CommonDialog::ShowOpen() {
    fileName_.clear();
    // Each Search starts afresh: the dialog would otherwise keep the last file's name in its
    // file-name box and its selection in the list, which it reselects as the folder loads.
    for (auto* view : dialog_->findChildren<QAbstractItemView*>())
        view->clearSelection();
    if (auto* name = dialog_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->clear();
    if (dialog_->exec() == QDialog::Accepted && !dialog_->selectedFiles().isEmpty())
        fileName_ = QDir::toNativeSeparators(dialog_->selectedFiles().constFirst());
    // The window asks for the keyboard back, where no window manager gives it.
    dialog_->parentWidget()->activateWindow();
}
