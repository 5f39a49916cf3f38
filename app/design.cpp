#include "app/design.h"

#include "app/open_dialog.h"

#include "textbox/plain_text_box.h"

#include "scan/counters.h"

#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace design {

namespace {

using scan::Rgb;

enum class Kind {
    PictureBox,
    Label,
    PathBox,
    SingleLineBox,
    MultiLineBox,
    CommandButton,
    Line,
    Frame,
    OpenDialog
};

enum class Container { Window, Frame };

struct Font {
    const char* family;
    double points;
    bool bold;
    // Where the system has no scalable face of the family in the asked weight: a face of the
    // same kind and nearly the same metrics, and failing that, what fontconfig picks for it.
    const char* standIn;
    QFont::StyleHint kind;
};

struct Looks {
    Kind kind;
    std::optional<Font> font = {}; // the window's font when none is given
    std::optional<Rgb> foreColor = {};
    std::optional<Rgb> backColor = {};
    bool faceBack = false; // the background in the system face colour
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool border = false;
};

// Places and sizes are in twips, relative to the control's container.
struct Control {
    const char* name;
    Looks looks;
    Container container;
    int left, top, width, height;
    const char* text; // caption or start text; the picture's image; the dialog's title
};

constexpr int TwipsPerPixel = 15;

constexpr Font WindowFont{"MS Sans Serif", 8.25, false, "Liberation Sans", QFont::SansSerif};
constexpr Font WindowFontBold{"MS Sans Serif", 8.25, true, "Liberation Sans", QFont::SansSerif};
constexpr Font CounterFont{"Tahoma", 12, true, "Liberation Sans", QFont::SansSerif};
constexpr Font CounterFontRegular{"Tahoma", 12, false, "Liberation Sans", QFont::SansSerif};
constexpr Font ResultFont{"Courier New", 9.75, false, "Liberation Mono", QFont::Monospace};
constexpr Font PageFont{"Courier New", 8.25, false, "Liberation Mono", QFont::Monospace};

constexpr Rgb Black{0, 0, 0};
constexpr Rgb DarkGreen{0, 128, 0};
constexpr Rgb Silver{192, 192, 192};
constexpr Rgb LightYellow{255, 255, 192};
constexpr Rgb LightOrange{255, 192, 128};
constexpr Rgb LightGreen{192, 255, 192};

// The four styles most controls share.
constexpr Looks CaptionLabel{
    .kind = Kind::Label, .font = WindowFontBold, .alignment = Qt::AlignRight | Qt::AlignTop};
constexpr Looks HintLabel{.kind = Kind::Label, .alignment = Qt::AlignRight | Qt::AlignTop};
constexpr Looks CounterLabel{.kind = Kind::Label,
                             .font = CounterFont,
                             .foreColor = Black,
                             .backColor = LightYellow,
                             .alignment = Qt::AlignHCenter | Qt::AlignTop,
                             .border = true};
constexpr Looks MultiLineResult{.kind = Kind::MultiLineBox, .font = ResultFont};
constexpr Looks SingleLineResult{.kind = Kind::SingleLineBox, .font = ResultFont};

constexpr Looks with(Looks looks, auto change) {
    change(looks);
    return looks;
}

using enum Container;

// clang-format off
constexpr std::array Controls = std::to_array<Control>({
    {"Picture1", {.kind = Kind::PictureBox, .border = true}, Window, 360, 120, 735, 735, ":/images/picture.png"},
    {"lblHTML", HintLabel, Window, 1200, 405, 840, 375, "HTML file:"},
    {"txtHTML", {.kind = Kind::PathBox, .font = WindowFontBold, .foreColor = Rgb{0, 0, 255}}, Window, 2160, 360, 7935, 360, "html htm asp"},
    {"cmdSearch", {.kind = Kind::CommandButton, .backColor = LightOrange}, Window, 10200, 360, 1095, 360, "&Search"},
    {"cmdRecheck", {.kind = Kind::CommandButton, .backColor = LightGreen}, Window, 11400, 360, 1095, 360, "&Recheck"},
    {"Line1", {.kind = Kind::Line}, Window, 240, 1080, 12240, 15, ""},
    {"FrameData", {.kind = Kind::Frame, .font = WindowFontBold, .foreColor = DarkGreen}, Window, 240, 1200, 12255, 8415, ""},
    {"lblTitle", CaptionLabel, Frame, 240, 480, 1080, 255, "Title"},
    {"lblDefTitleCar", HintLabel, Frame, 240, 720, 1080, 255, "Max. 70 car."},
    {"lblTitleCar", CounterLabel, Frame, 1440, 480, 735, 615, " "},
    {"txtTitle", MultiLineResult, Frame, 2280, 480, 9495, 615, ""},
    {"lblDescription", CaptionLabel, Frame, 240, 1200, 1080, 255, "Description"},
    {"lblDefDescriptionCar", HintLabel, Frame, 240, 1440, 1080, 255, "Max. 160 car."},
    {"lblDescriptionCar", CounterLabel, Frame, 1440, 1200, 735, 975, " "},
    {"txtDescription", MultiLineResult, Frame, 2280, 1200, 9495, 975, ""},
    {"lblKeywords", CaptionLabel, Frame, 240, 2280, 1080, 255, "Keywords"},
    {"lblDefKeyboardsCar", HintLabel, Frame, 240, 2520, 1080, 255, "Max. 260 car."},
    {"lblKeywordsCar", CounterLabel, Frame, 1440, 2280, 735, 615, " "},
    {"txtKeywords", MultiLineResult, Frame, 2280, 2280, 9495, 1215, ""},
    {"lblDefWords", HintLabel, Frame, 240, 2880, 1080, 255, "5-15 words"},
    {"lblWordsNum", with(CounterLabel, [](Looks& l) { l.foreColor = DarkGreen; }), Frame, 1440, 2880, 735, 615, " "},
    {"lblAbstract", CaptionLabel, Frame, 240, 3600, 1080, 255, "Abstract"},
    {"lblDefAbtractCar", HintLabel, Frame, 240, 3840, 1080, 255, "Not for HTML5"},
    {"lblAbstractCar", CounterLabel, Frame, 1440, 3600, 735, 615, " "},
    {"txtAbstract", MultiLineResult, Frame, 2280, 3600, 9495, 615, ""},
    {"lblRobots", CaptionLabel, Frame, 240, 4320, 1080, 255, "Robots"},
    {"lblRobotsCar", with(CounterLabel, [](Looks& l) { l.font = CounterFontRegular; l.foreColor = Silver; }), Frame, 1440, 4320, 735, 375, " "},
    {"txtRobots", SingleLineResult, Frame, 2280, 4320, 9495, 375, ""},
    {"lblAuthor", CaptionLabel, Frame, 240, 4800, 1080, 255, "Author"},
    {"lblAuthorCar", CounterLabel, Frame, 1440, 4800, 735, 375, " "},
    {"txtAuthor", SingleLineResult, Frame, 2280, 4800, 9495, 375, ""},
    {"lblCopyright", CaptionLabel, Frame, 240, 5280, 1080, 255, "Copyright"},
    {"lblCopyrightCar", CounterLabel, Frame, 1440, 5280, 735, 375, " "},
    {"txtCopyright", SingleLineResult, Frame, 2280, 5280, 9495, 375, ""},
    {"txtOriginalFile", {.kind = Kind::MultiLineBox, .font = PageFont, .foreColor = Rgb{0, 0, 255}, .faceBack = true}, Frame, 240, 5880, 11535, 2295, ""},
    {"cmdDialog", {.kind = Kind::OpenDialog}, Window, 0, 0, 0, 0, "Open"},
});
// clang-format on

// The order in which the Tab key moves through the controls that take the focus.
constexpr std::array FocusOrder{"txtHTML",      "cmdSearch",       "txtTitle",    "txtDescription",
                                "txtKeywords",  "txtOriginalFile", "txtAbstract", "txtAuthor",
                                "txtCopyright", "Picture1",        "txtRobots",   "cmdRecheck"};

// What a screen reader calls each control that takes the focus, and each counter, where the
// toolkit's own name would not do: a box has no text of its own that names it, the picture
// none at all, and a counter's number says nothing of what it counts. The caption beside a
// box is tied to it as well, so that a screen reader can tell which caption is whose. The
// buttons are named by their captions, and the caption and hint labels by their text, already.
struct AccessibleName {
    const char* control;
    const char* name;
    const char* caption = nullptr; // the label beside the control that names it on screen
};

constexpr std::array AccessibleNames = std::to_array<AccessibleName>({
    {"Picture1", "HTML picture"},
    {"txtHTML", "HTML file", "lblHTML"},
    {"txtTitle", "Title", "lblTitle"},
    {"lblTitleCar", "Title length"},
    {"txtDescription", "Description", "lblDescription"},
    {"lblDescriptionCar", "Description length"},
    {"txtKeywords", "Keywords", "lblKeywords"},
    {"lblKeywordsCar", "Keywords length"},
    {"lblWordsNum", "Keyword count"},
    {"txtAbstract", "Abstract", "lblAbstract"},
    {"lblAbstractCar", "Abstract length"},
    {"txtRobots", "Robots", "lblRobots"},
    {"lblRobotsCar", "Robots length"},
    {"txtAuthor", "Author", "lblAuthor"},
    {"lblAuthorCar", "Author length"},
    {"txtCopyright", "Copyright", "lblCopyright"},
    {"lblCopyrightCar", "Copyright length"},
    {"txtOriginalFile", "Page"},
});

constexpr int ClientWidth = 12750;
constexpr int ClientHeight = 9840;
constexpr const char* Caption = "Orlimo 3.0 - Copyright \u00A9 2026 the metatags authors";

// The sizes the icon is drawn at, each to be legible at its size (images/icon-N.png).
constexpr std::array IconSizes{16, 22, 24, 32, 48, 64, 128, 256};

// A face that draws the weight asked for at any size: a bitmap face does not scale, and a
// family without a bold face would have its regular one drawn instead.
bool drawsAtAnySize(const QString& family, bool bold) {
    const QStringList styles = QFontDatabase::styles(family);
    return std::any_of(styles.begin(), styles.end(), [&](const QString& style) {
        return QFontDatabase::isSmoothlyScalable(family, style) &&
               !QFontDatabase::italic(family, style) &&
               (QFontDatabase::weight(family, style) >= QFont::Bold) == bold;
    });
}

QFont qtFont(const Font& font) {
    const QString family = QString::fromLatin1(font.family);
    QFont qt;
    qt.setFamily(drawsAtAnySize(family, font.bold) ? family : QString::fromLatin1(font.standIn));
    qt.setStyleHint(font.kind);
    qt.setPointSizeF(font.points);
    qt.setWeight(font.bold ? QFont::Bold : QFont::Normal);
    return qt;
}

QColor qtColour(Rgb colour) {
    return {colour.red, colour.green, colour.blue};
}

int pixels(int twips) {
    return twips / TwipsPerPixel;
}

// The path box types nothing for Alt with a key, as the result boxes do: on the desktop the
// design comes from, Alt with a letter is an access key or nothing, never text. AltGr, which X
// reports apart from Alt, still types. A file dropped on it is the window's to search, not text.
class PathBox : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->modifiers() & ~Qt::ShiftModifier) == Qt::AltModifier &&
            !event->text().isEmpty()) {
            event->ignore();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    // Tab selects the whole path, as in the toolkit's line edit, but only once the focus has
    // been told to a screen reader: a selection told before it is spoken with the path, and
    // then the focus says the path again.
    void focusInEvent(QFocusEvent* event) override {
        const Qt::FocusReason reason = event->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
            reason != Qt::ShortcutFocusReason) {
            QLineEdit::focusInEvent(event);
            return;
        }
        QFocusEvent unselected(QEvent::FocusIn, Qt::OtherFocusReason);
        QLineEdit::focusInEvent(&unselected);
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (hasFocus() && !hasSelectedText())
                    selectAll();
            },
            Qt::QueuedConnection);
    }
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (!carriesFiles(*event))
            QLineEdit::dragEnterEvent(event);
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        if (!carriesFiles(*event))
            QLineEdit::dragMoveEvent(event);
    }
    void dropEvent(QDropEvent* event) override {
        if (!carriesFiles(*event))
            QLineEdit::dropEvent(event);
    }

private:
    static bool carriesFiles(QDropEvent& event) {
        if (!event.mimeData()->hasUrls())
            return false;
        event.ignore();
        return true;
    }
};

QWidget* create(const Control& control, QWidget& parent) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.looks.kind) {
    case Kind::PictureBox: {
        auto* picture = new QLabel(&parent);
        // QIcon also takes the picture's "@2x" image and hands it out where the screen has twice
        // the pixels, so that the picture is not blown up soft.
        const QIcon image(text);
        picture->setPixmap(image.pixmap(QImageReader(text).size(), picture->devicePixelRatio()));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        picture->setFocusPolicy(Qt::StrongFocus);
        return picture;
    }
    case Kind::Label: {
        auto* label = new QLabel(text, &parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    // The path box holds a path of a few hundred characters at most: a line edit, with all
    // that users expect of one.
    case Kind::PathBox: {
        auto* box = new PathBox(text, &parent);
        box->setMaxLength(std::numeric_limits<int>::max()); // a path is never cut short
        return box;
    }
    // The result boxes and the page box show values and pages of any length, laying out only
    // what is on screen.
    case Kind::SingleLineBox:
    case Kind::MultiLineBox: {
        const bool multiLine = control.looks.kind == Kind::MultiLineBox;
        auto* box = new PlainTextBox(&parent);
        box->setPlainText(text);
        box->setLineWrapMode(multiLine ? PlainTextBox::WidgetWidth : PlainTextBox::NoWrap);
        box->setVerticalScrollBarPolicy(multiLine ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setTabChangesFocus(true);
        return box;
    }
    case Kind::CommandButton:
        return new QPushButton(text, &parent);
    case Kind::Line: {
        auto* line = new QFrame(&parent);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Plain);
        line->setLineWidth(1);
        return line;
    }
    case Kind::Frame:
        return new QGroupBox(text, &parent);
    case Kind::OpenDialog: {
        // Every file listed: no filter, start folder, default extension or file name.
        auto* dialog = new OpenDialog(&parent, text);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        return dialog;
    }
    }
    Q_UNREACHABLE();
}

// Font and text colour are set on every control, so that none inherits the frame's caption looks.
void applyLooks(QWidget& widget, const Looks& looks, const QPalette& windowPalette) {
    widget.setFont(qtFont(looks.font.value_or(WindowFont)));
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, looks.foreColor
                                               ? qtColour(*looks.foreColor)
                                               : windowPalette.color(QPalette::WindowText));
    if (looks.kind == Kind::PathBox || looks.kind == Kind::SingleLineBox ||
        looks.kind == Kind::MultiLineBox)
        palette.setColor(QPalette::Text, looks.foreColor ? qtColour(*looks.foreColor)
                                                         : windowPalette.color(QPalette::Text));
    if (looks.backColor) {
        palette.setColor(QPalette::Window, qtColour(*looks.backColor));
        palette.setColor(QPalette::Button, qtColour(*looks.backColor));
        widget.setAutoFillBackground(true);
    }
    if (looks.faceBack)
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    widget.setPalette(palette);
    if (auto* frame = qobject_cast<QFrame*>(&widget); frame && looks.border) {
        frame->setFrameShape(QFrame::Panel);
        frame->setFrameShadow(QFrame::Sunken);
        frame->setLineWidth(1);
        // The picture is one pixel larger than the box within its border: the border's bottom and
        // right edges fall just outside the box, so that the picture shows whole.
        if (looks.kind == Kind::PictureBox)
            frame->setFrameRect(frame->rect().adjusted(0, 0, 1, 1));
    }
    if (auto* label = qobject_cast<QLabel*>(&widget); label && looks.kind == Kind::Label)
        label->setAlignment(looks.alignment);
    // The style would shade the face with a gradient, paler than the designed colour: the face
    // is flat in it, with a raised border that sinks while the button is pressed.
    if (looks.kind == Kind::CommandButton && looks.backColor)
        widget.setStyleSheet(
            QStringLiteral("QPushButton { background-color: %1; border: 2px outset %1; }"
                           "QPushButton:pressed { border-style: inset; }"
                           "QPushButton:focus { border-color: palette(highlight); }")
                .arg(qtColour(*looks.backColor).name()));
}

// Each size drawn for itself, so that a title bar shows a legible icon, not the design's image
// shrunk to a smudge.
QIcon windowIcon() {
    QIcon icon(QStringLiteral(":/images/icon.png"));
    for (int size : IconSizes)
        icon.addFile(QStringLiteral(":/images/icon-%1.png").arg(size), QSize(size, size));
    return icon;
}

// No caption has an access key, so a caption tied to its box takes no shortcut.
void nameForScreenReaders(QWidget& window) {
    for (const AccessibleName& control : AccessibleNames) {
        auto* widget = window.findChild<QWidget*>(QLatin1String(control.control));
        widget->setAccessibleName(QString::fromUtf8(control.name));
        if (control.caption)
            window.findChild<QLabel*>(QLatin1String(control.caption))->setBuddy(widget);
    }
}

} // namespace

void build(QWidget& window) {
    window.setObjectName(QStringLiteral("frmMetatags"));
    window.setWindowTitle(QString::fromUtf8(Caption));
    window.setWindowIcon(windowIcon());
    window.setFont(qtFont(WindowFont));
    window.resize(pixels(ClientWidth), pixels(ClientHeight));

    QWidget* frame = nullptr;
    for (const Control& control : Controls) {
        QWidget& parent = control.container == Container::Frame ? *frame : window;
        QWidget* widget = create(control, parent);
        widget->setObjectName(QLatin1String(control.name));
        if (control.looks.kind == Kind::OpenDialog)
            continue;
        if (control.looks.kind == Kind::Frame)
            frame = widget;
        widget->setGeometry(pixels(control.left), pixels(control.top), pixels(control.width),
                            pixels(control.height));
        applyLooks(*widget, control.looks, window.palette());
    }

    QWidget* previous = nullptr;
    for (const char* name : FocusOrder) {
        QWidget* next = window.findChild<QWidget*>(QLatin1String(name));
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    }
    window.findChild<QWidget*>(QLatin1String(FocusOrder.front()))->setFocus();
    nameForScreenReaders(window);
}

} // namespace design
