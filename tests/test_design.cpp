#include "app/frmMetatags.h"
#include "tests/window_driver.h"
#include "textbox/plain_text_box.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>

// The window as its design gives it, read from the real widgets. Sizes are in pixels
// (twips / 15); fonts are the family of the face that draws, its size and its weight, with
// "bitmap" where the face cannot draw at any size.

namespace {

const char* const CaptionFont = "MS Sans Serif,8.25,bold";
const char* const WindowFont = "MS Sans Serif,8.25,regular";
const char* const CounterFont = "Tahoma,12,bold";
const char* const ResultFont = "Courier New,9.75,regular";

QString fontOf(const QWidget* widget) {
    const QFontInfo drawn(widget->font());
    QString family = drawn.family();
    // Where the system has no scalable face of the design's family, its stand-in draws.
    if (family == QLatin1String("Liberation Sans"))
        family =
            drawn.pointSizeF() < 10 ? QStringLiteral("MS Sans Serif") : QStringLiteral("Tahoma");
    if (family == QLatin1String("Liberation Mono"))
        family = QStringLiteral("Courier New");
    return QStringLiteral("%1,%2,%3%4")
        .arg(family)
        .arg(drawn.pointSizeF())
        .arg(drawn.weight() >= QFont::Bold     ? "bold"
             : drawn.weight() == QFont::Normal ? "regular"
                                               : "other weight")
        .arg(QFontDatabase::isSmoothlyScalable(drawn.family(), drawn.styleName()) ? "" : ",bitmap");
}

QString colour(const QWidget* widget, QPalette::ColorRole role) {
    return widget->palette().color(role).name();
}

QString focusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

// Tab pressed as a user would: to whatever holds the focus.
void pressTab() {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : QApplication::activeWindow(), Qt::Key_Tab);
}

QList<QRect> geometries(const QWidget& window) {
    QList<QRect> all;
    for (const QWidget* child : window.findChildren<QWidget*>())
        if (!child->objectName().isEmpty() && !child->isWindow())
            all << child->geometry();
    return all;
}

} // namespace

class DesignTest : public QObject {
    Q_OBJECT

private slots:
    void theWindow();
    void iconSizes_data();
    void iconSizes();
    void picture();
    void controls_data();
    void controls();
    void fonts_data() { controls_data(); }
    void fonts();
    void buttonsAreFlatInTheirColours();
    void openDialogLeavesNothingBehind();
    void boxes_data();
    void boxes();
    void counterLabels();
    void focusOrderByTab();
    void accessKeys();
    void resizingKeepsEveryControlInPlace();
};

void DesignTest::theWindow() {
    WindowDriver driver;
    QWidget& window = driver.window();
    QCOMPARE(window.objectName(), QStringLiteral("frmMetatags"));
    QVERIFY(window.windowTitle().startsWith(QLatin1String("Orlimo 3.0 - ")));
    QVERIFY(window.windowTitle().size() > 13);
    QCOMPARE(window.size(), QSize(850, 656));
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.windowIcon().pixmap(200).size(), QSize(200, 200));
    QList<QSize> iconSizes = window.windowIcon().availableSizes();
    std::sort(iconSizes.begin(), iconSizes.end(),
              [](QSize a, QSize b) { return a.width() < b.width(); });
    const QList<QSize> drawn{{16, 16}, {22, 22},   {24, 24},   {32, 32},  {48, 48},
                             {64, 64}, {128, 128}, {200, 200}, {256, 256}};
    QCOMPARE(iconSizes, drawn);
    QCOMPARE(fontOf(&window), QString::fromLatin1(WindowFont));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtHTML"));

    auto* line = window.findChild<QFrame*>(QStringLiteral("Line1"));
    QCOMPARE(line->geometry(), QRect(16, 72, 816, 1));
    QCOMPARE(line->frameShape(), QFrame::HLine);

    auto* frame = window.findChild<QGroupBox*>(QStringLiteral("FrameData"));
    QCOMPARE(frame->title(), QString());
    QCOMPARE(fontOf(frame), QString::fromLatin1(CaptionFont));
    QCOMPARE(colour(frame, QPalette::WindowText), QStringLiteral("#008000"));

    auto* search = window.findChild<QPushButton*>(QStringLiteral("cmdSearch"));
    auto* recheck = window.findChild<QPushButton*>(QStringLiteral("cmdRecheck"));
    QCOMPARE(colour(search, QPalette::Button), QStringLiteral("#ffc080"));
    QCOMPARE(colour(recheck, QPalette::Button), QStringLiteral("#c0ffc0"));
    QVERIFY(!recheck->isEnabled());
}

void DesignTest::iconSizes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("onPixelGrid");
    for (int size : {16, 22, 24, 32})
        QTest::addRow("%d px", size) << size << true;
    for (int size : {48, 64, 128, 256})
        QTest::addRow("%d px", size) << size << false;
}

// Each size is an image of its own, white on the design's red; the small ones are drawn on the
// pixel grid, so that no pixel is a blend of the two.
void DesignTest::iconSizes() {
    QFETCH(int, size);
    QFETCH(bool, onPixelGrid);
    WindowDriver driver;
    const QImage icon = driver.window().windowIcon().pixmap(QSize(size, size), 1.0).toImage();
    QCOMPARE(icon.size(), QSize(size, size));
    const QColor red(0xd0, 0x10, 0x10);
    QCOMPARE(icon.pixelColor(0, 0), red);
    QCOMPARE(icon.pixelColor(size - 1, size - 1), red);
    int white = 0;
    int blends = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QColor colour = icon.pixelColor(x, y);
            white += colour == Qt::white;
            blends += colour != Qt::white && colour != red;
        }
    QVERIFY2(white > size, "the word is missing");
    if (onPixelGrid)
        QCOMPARE(blends, 0);
}

// The whole picture shows inside its border, from the image drawn for the screen: 48 px, or 96 px
// where the screen has twice the pixels (the test runs at QT_SCALE_FACTOR=2 too).
void DesignTest::picture() {
    // Not shown: the picture needs no more, and Qt 6.4 leaks the glyphs of a window shown at
    // twice the pixels, which the sanitized run would report.
    frmMetatags window;
    auto* box = window.findChild<QLabel*>(QStringLiteral("Picture1"));
    const int ratio = qRound(box->devicePixelRatio());
    QCOMPARE(ratio, qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                        ? qEnvironmentVariableIntValue("QT_SCALE_FACTOR")
                        : 1);
    const QImage picture(ratio == 2 ? QStringLiteral(":/images/picture@2x.png")
                                    : QStringLiteral(":/images/picture.png"));
    QCOMPARE(picture.size(), QSize(48, 48) * ratio);
    const QImage shown = box->grab().toImage().convertToFormat(picture.format());
    QCOMPARE(shown.size(), QSize(49, 49) * ratio);
    QCOMPARE(shown.copy(QRect(QPoint(1, 1) * ratio, picture.size())), picture);
    QCOMPARE(shown.pixelColor(0, 0).name(), box->palette().color(QPalette::Dark).name()); // border
}

void DesignTest::controls_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("font");

    const auto row = [](const char* name, const char* kind, const char* container, int l, int t,
                        int w, int h, const char* text, const char* font) {
        QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromLatin1(container)
                            << QRect(l, t, w, h) << QString::fromLatin1(text)
                            << QString::fromLatin1(font);
    };
    row("Picture1", "QLabel", "frmMetatags", 24, 8, 49, 49, "", WindowFont);
    row("lblHTML", "QLabel", "frmMetatags", 80, 27, 56, 25, "HTML file:", WindowFont);
    row("txtHTML", "QLineEdit", "frmMetatags", 144, 24, 529, 24, "html htm asp", CaptionFont);
    row("cmdSearch", "QPushButton", "frmMetatags", 680, 24, 73, 24, "&Search", WindowFont);
    row("cmdRecheck", "QPushButton", "frmMetatags", 760, 24, 73, 24, "&Recheck", WindowFont);
    row("FrameData", "QGroupBox", "frmMetatags", 16, 80, 817, 561, "", CaptionFont);
    row("lblTitle", "QLabel", "FrameData", 16, 32, 72, 17, "Title", CaptionFont);
    row("lblDefTitleCar", "QLabel", "FrameData", 16, 48, 72, 17, "Max. 70 car.", WindowFont);
    row("lblTitleCar", "QLabel", "FrameData", 96, 32, 49, 41, " ", CounterFont);
    row("txtTitle", "PlainTextBox", "FrameData", 152, 32, 633, 41, "", ResultFont);
    row("lblDescription", "QLabel", "FrameData", 16, 80, 72, 17, "Description", CaptionFont);
    row("lblDefDescriptionCar", "QLabel", "FrameData", 16, 96, 72, 17, "Max. 160 car.", WindowFont);
    row("lblDescriptionCar", "QLabel", "FrameData", 96, 80, 49, 65, " ", CounterFont);
    row("txtDescription", "PlainTextBox", "FrameData", 152, 80, 633, 65, "", ResultFont);
    row("lblKeywords", "QLabel", "FrameData", 16, 152, 72, 17, "Keywords", CaptionFont);
    row("lblDefKeyboardsCar", "QLabel", "FrameData", 16, 168, 72, 17, "Max. 260 car.", WindowFont);
    row("lblKeywordsCar", "QLabel", "FrameData", 96, 152, 49, 41, " ", CounterFont);
    row("txtKeywords", "PlainTextBox", "FrameData", 152, 152, 633, 81, "", ResultFont);
    row("lblDefWords", "QLabel", "FrameData", 16, 192, 72, 17, "5-15 words", WindowFont);
    row("lblWordsNum", "QLabel", "FrameData", 96, 192, 49, 41, " ", CounterFont);
    row("lblAbstract", "QLabel", "FrameData", 16, 240, 72, 17, "Abstract", CaptionFont);
    row("lblDefAbtractCar", "QLabel", "FrameData", 16, 256, 72, 17, "Not for HTML5", WindowFont);
    row("lblAbstractCar", "QLabel", "FrameData", 96, 240, 49, 41, " ", CounterFont);
    row("txtAbstract", "PlainTextBox", "FrameData", 152, 240, 633, 41, "", ResultFont);
    row("lblRobots", "QLabel", "FrameData", 16, 288, 72, 17, "Robots", CaptionFont);
    row("lblRobotsCar", "QLabel", "FrameData", 96, 288, 49, 25, " ", "Tahoma,12,regular");
    row("txtRobots", "PlainTextBox", "FrameData", 152, 288, 633, 25, "", ResultFont);
    row("lblAuthor", "QLabel", "FrameData", 16, 320, 72, 17, "Author", CaptionFont);
    row("lblAuthorCar", "QLabel", "FrameData", 96, 320, 49, 25, " ", CounterFont);
    row("txtAuthor", "PlainTextBox", "FrameData", 152, 320, 633, 25, "", ResultFont);
    row("lblCopyright", "QLabel", "FrameData", 16, 352, 72, 17, "Copyright", CaptionFont);
    row("lblCopyrightCar", "QLabel", "FrameData", 96, 352, 49, 25, " ", CounterFont);
    row("txtCopyright", "PlainTextBox", "FrameData", 152, 352, 633, 25, "", ResultFont);
    row("txtOriginalFile", "PlainTextBox", "FrameData", 16, 392, 769, 153, "",
        "Courier New,8.25,regular");
}

void DesignTest::controls() {
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QRect, place);
    QFETCH(QString, text);
    QFETCH(QString, font);

    WindowDriver driver;
    QWidget* widget = driver.control(QTest::currentDataTag());
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), kind);
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(widget->geometry(), place);
    QCOMPARE(driver.shown(QTest::currentDataTag()), text);
    QCOMPARE(fontOf(widget), font);
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull()) {
        const bool counter = QByteArray(QTest::currentDataTag()).endsWith("Car") &&
                             !QByteArray(QTest::currentDataTag()).startsWith("lblDef");
        const bool wordCounter = widget->objectName() == QLatin1String("lblWordsNum");
        QCOMPARE(label->alignment(), counter || wordCounter ? Qt::AlignHCenter | Qt::AlignTop
                                                            : Qt::AlignRight | Qt::AlignTop);
        if (!counter && !wordCounter) {
            QCOMPARE(label->frameShape(), QFrame::NoFrame);
            QCOMPARE(colour(label, QPalette::WindowText),
                     driver.window().palette().color(QPalette::WindowText).name());
        }
    }
}

// The face that draws each control: the design's family or its stand-in, at the design's size
// and weight, and able to draw at any size (the test runs at QT_SCALE_FACTOR=2 too).
void DesignTest::fonts() {
    QFETCH(QString, font);
    // Not shown, as the picture test says why.
    frmMetatags window;
    QCOMPARE(fontOf(window.findChild<QWidget*>(QLatin1String(QTest::currentDataTag()))), font);
}

// The command buttons' faces are their designed colours, flat, not shaded by the style.
void DesignTest::buttonsAreFlatInTheirColours() {
    WindowDriver driver;
    for (const auto& [name, designed] : {std::pair{"cmdSearch", QColor(255, 192, 128)},
                                         std::pair{"cmdRecheck", QColor(192, 255, 192)}}) {
        const QImage face = driver.control(name)->grab().toImage();
        for (const QPoint at : {QPoint(5, 5), QPoint(5, face.height() - 6),
                                QPoint(face.width() - 6, face.height() / 2)})
            QCOMPARE(face.pixelColor(at).name(), designed.name());
    }
}

// A path typed into the Open dialog as a user types it: when the dialog closes, no list of
// completions or any other window stays on screen, the window has the keyboard back, and the
// next Search starts with an empty file-name box.
// Each Search types a whole path into the dialog and gets that file, with nothing of the
// dialog left behind; the second one with the folder of the path still selected in the file
// list, as the typing can leave it where the list that completes the name takes the focus (a
// screen reader's round trips make that happen).
void DesignTest::openDialogLeavesNothingBehind() {
    WindowDriver driver;
    driver.activate();
    QDir(driver.folder()).mkdir(QStringLiteral("pages"));
    const QStringList paths{driver.writePage("<title>typed</title>"),
                            driver.writePage("<title>typed</title>", "pages/page.html")};
    QString nameAtStart = QStringLiteral("(not asked)");
    for (const QString& path : paths) {
        driver.onOpenDialog([&](QFileDialog& dialog) {
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            nameAtStart = name->text();
            if (path == paths.back())
                dialog.setDirectory(driver.folder());
            QTest::keyClicks(name, path);
            if (path == paths.back()) {
                // A dialog that stays open fails the test instead of hanging it.
                QTimer::singleShot(2000, &dialog, [&dialog] {
                    if (dialog.isVisible())
                        dialog.reject();
                });
                auto* files = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
                const auto folder = [files] {
                    return files->model()->match(files->model()->index(0, 0, files->rootIndex()),
                                                 Qt::DisplayRole, QStringLiteral("pages"), 1,
                                                 Qt::MatchExactly);
                };
                QTRY_VERIFY(!folder().isEmpty()); // once the dialog has read its folder
                files->selectionModel()->select(folder().front(), QItemSelectionModel::Select |
                                                                      QItemSelectionModel::Rows);
            }
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(driver.control("cmdSearch"), Qt::LeftButton);
        QCOMPARE(driver.shown("txtHTML"), path);
        QCOMPARE(driver.shown("txtTitle"), QStringLiteral("typed"));
        QCOMPARE(nameAtStart, QString());
        QStringList shown;
        for (const QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                shown << window->objectName() + ':' + window->metaObject()->className();
        QCOMPARE(shown, QStringList{"frmMetatags:frmMetatags"});
        QTRY_COMPARE(QApplication::activeWindow(), &driver.window());
    }
}

void DesignTest::boxes_data() {
    QTest::addColumn<bool>("multiLine");
    for (const char* name :
         {"txtTitle", "txtDescription", "txtKeywords", "txtAbstract", "txtOriginalFile"})
        QTest::newRow(name) << true;
    for (const char* name : {"txtHTML", "txtRobots", "txtAuthor", "txtCopyright"})
        QTest::newRow(name) << false;
}

// Multi-line boxes wrap at their width with a vertical scroll bar; single-line ones show one
// line; none cuts a long value short.
void DesignTest::boxes() {
    QFETCH(bool, multiLine);
    WindowDriver driver;
    QWidget* widget = driver.control(QTest::currentDataTag());
    const bool isPage = widget->objectName() == QLatin1String("txtOriginalFile");
    const bool isPath = widget->objectName() == QLatin1String("txtHTML");
    QCOMPARE(colour(widget, QPalette::Text),
             isPage || isPath ? QStringLiteral("#0000ff") : QStringLiteral("#000000"));
    if (isPage)
        QCOMPARE(colour(widget, QPalette::Base), colour(widget, QPalette::Button));
    if (isPath) {
        QVERIFY(qobject_cast<QLineEdit*>(widget)->maxLength() > 100'000'000);
        return;
    }
    auto* box = qobject_cast<PlainTextBox*>(widget);
    QVERIFY(box);
    QVERIFY(box->tabChangesFocus());
    QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // The scroll bars are drawn as in any other box, whatever the colour of the text.
    QCOMPARE(box->verticalScrollBar()->palette().color(QPalette::WindowText).name(),
             QApplication::palette(box->verticalScrollBar()).color(QPalette::WindowText).name());
    if (!multiLine) {
        QCOMPARE(box->lineWrapMode(), PlainTextBox::NoWrap);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        return;
    }
    QCOMPARE(box->lineWrapMode(), PlainTextBox::WidgetWidth);
    QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    box->setPlainText(QString(2000, u'w'));
    QVERIFY(box->verticalScrollBar()->maximum() > 0); // wrapped onto lines to scroll through
}

void DesignTest::counterLabels() {
    WindowDriver driver;
    for (const char* name : {"lblTitleCar", "lblDescriptionCar", "lblKeywordsCar", "lblWordsNum",
                             "lblAbstractCar", "lblRobotsCar", "lblAuthorCar", "lblCopyrightCar"}) {
        auto* label = qobject_cast<QLabel*>(driver.control(name));
        QVERIFY2(label->autoFillBackground(), name);
        QCOMPARE(colour(label, QPalette::Window), QStringLiteral("#ffffc0"));
        QVERIFY2(label->frameShape() != QFrame::NoFrame && label->lineWidth() == 1, name);
        const QByteArray n(name);
        QCOMPARE(colour(label, QPalette::WindowText),
                 n == "lblRobotsCar"  ? QStringLiteral("#c0c0c0")
                 : n == "lblWordsNum" ? QStringLiteral("#008000")
                                      : QStringLiteral("#000000"));
    }
}

void DesignTest::focusOrderByTab() {
    WindowDriver driver;
    driver.activate();
    const auto cycle = [] {
        QStringList names{focusName()};
        for (int i = 0; i < 13; ++i) {
            pressTab();
            names << focusName();
        }
        return names;
    };
    const QStringList withoutRecheck{
        "txtHTML",         "cmdSearch",   "txtTitle",  "txtDescription", "txtKeywords",
        "txtOriginalFile", "txtAbstract", "txtAuthor", "txtCopyright",   "Picture1",
        "txtRobots",       "txtHTML",     "cmdSearch", "txtTitle"};
    QCOMPARE(cycle(), withoutRecheck);

    driver.search(driver.writePage("<title>t</title>"));
    driver.control("txtHTML")->setFocus();
    QStringList withRecheck = withoutRecheck;
    withRecheck.insert(11, QStringLiteral("cmdRecheck"));
    withRecheck.removeLast();
    QCOMPARE(cycle(), withRecheck);

    // The path box reached by Tab or Shift+Tab has its whole path selected, as a line edit has.
    auto* path = qobject_cast<QLineEdit*>(driver.control("txtHTML"));
    for (const char* from : {"cmdRecheck", "cmdSearch"}) {
        path->deselect();
        driver.control(from)->setFocus();
        QTest::keyClick(driver.control(from),
                        from == QLatin1String("cmdSearch") ? Qt::Key_Backtab : Qt::Key_Tab);
        QTRY_COMPARE(path->selectedText(), path->text());
    }
}

void DesignTest::accessKeys() {
    WindowDriver driver;
    driver.activate();

    // An access key clicks its button after a short animation, so the tests wait for it.
    // Alt+R does nothing while Recheck is disabled.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::AltModifier);
    QTest::qWait(300);
    QCOMPARE(driver.shown("txtOriginalFile"), QString());

    // Alt+S opens the dialog from every control that can hold the focus.
    int opened = 0;
    for (const char* name :
         {"txtHTML", "cmdSearch", "txtTitle", "txtDescription", "txtKeywords", "txtOriginalFile",
          "txtAbstract", "txtAuthor", "txtCopyright", "Picture1", "txtRobots"}) {
        driver.control(name)->setFocus();
        driver.answerOpenDialog(QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY2(driver.dialogsAnswered() == opened + 1, name);
        ++opened;
        driver.activate();
    }

    const QString path = driver.writePage("<title>first</title>");
    driver.answerOpenDialog(path);
    QTest::keyClick(driver.control("txtTitle"), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(driver.shown("txtTitle"), QStringLiteral("first"));
    driver.activate();
    driver.writePage("<title>second</title>");
    QTest::keyClick(driver.control("txtTitle"), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(driver.shown("txtTitle"), QStringLiteral("second"));
}

void DesignTest::resizingKeepsEveryControlInPlace() {
    WindowDriver driver;
    QWidget& window = driver.window();
    const QList<QRect> designed = geometries(window);
    window.resize(1200, 900);
    QCOMPARE(geometries(window), designed);
    window.resize(400, 300);
    QCOMPARE(geometries(window), designed);
    window.showMaximized();
    QCOMPARE(geometries(window), designed);
}

QTEST_MAIN(DesignTest)
#include "test_design.moc"
