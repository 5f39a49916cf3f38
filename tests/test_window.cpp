#include "app/controls.h"
#include "app/frmMetatags.h"
#include "app/qt_text.h"
#include "load/page_file.h"
#include "tests/window_driver.h"
#include "textbox/plain_text_box.h"

#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QTimer>

namespace {

const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

QByteArray meta(const QByteArray& word, const QByteArray& content) {
    return "<meta name=\"" + word + "\" content=\"" + content + "\">\r\n";
}

QByteArray metaContentFirst(const QByteArray& word, const QByteArray& content) {
    return "<meta content=\"" + content + "\" name=\"" + word + "\">\r\n";
}

QByteArray title(const QByteArray& text) {
    return "<title>" + text + "</title>\r\n";
}

// What the page box shows of a page file: its page text.
QString asShown(const QByteArray& page) {
    std::string text = page.toStdString();
    load::makePageTextOfFile(text);
    return fromPageText(text);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void startState();
    void searchFillsEveryField();
    void cancelledSearchAtStart();
    void cancelledSearchKeepsResults();
    void recheckReadsTheChangedFile();
    void recheckReadsATypedPath();
    void fileThatCannotBeOpened();
    void pagesInTurn_data();
    void pagesInTurn();
    void pagesInTheirEncodings_data();
    void pagesInTheirEncodings();
    void pageFileDropped_data();
    void pageFileDropped();
    void pageFileDraggedOntoTheWindow();
    void textBoxReadsBackWhatItHolds();
};

void WindowTest::startState() {
    WindowDriver driver;
    QCOMPARE(driver.shown("txtHTML"), QStringLiteral("html htm asp"));
    QVERIFY(!driver.enabled("cmdRecheck"));
    for (const char* counter :
         {"lblTitleCar", "lblDescriptionCar", "lblKeywordsCar", "lblWordsNum", "lblAbstractCar",
          "lblRobotsCar", "lblAuthorCar", "lblCopyrightCar"})
        QCOMPARE(driver.shown(counter), QStringLiteral(" "));
    QCOMPARE(driver.shown("txtOriginalFile"), QString());
}

void WindowTest::searchFillsEveryField() {
    WindowDriver driver;
    QFile sample(QStringLiteral("pages/sample.html"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QByteArray page = sample.readAll();
    const QString path = driver.writePage(page);

    driver.search(path);

    QCOMPARE(driver.shown("txtHTML"), path);
    QVERIFY(driver.enabled("cmdRecheck"));
    QCOMPARE(driver.shown("txtOriginalFile"), asShown(page));
    QCOMPARE(driver.shown("txtTitle"),
             QStringLiteral("Fresh bread every morning | The Corner Bakery"));
    QCOMPARE(driver.shown("lblTitleCar"), QStringLiteral("45"));
    QCOMPARE(driver.textColour("lblTitleCar"), Blue);
    QCOMPARE(driver.shown("lblDescriptionCar"), QStringLiteral("128"));
    QCOMPARE(
        driver.shown("txtKeywords"),
        QStringLiteral("bakery, bread, sourdough, rye, cakes, wedding cakes, pastries, local"));
    QCOMPARE(driver.shown("lblWordsNum"), QStringLiteral("8"));
    QCOMPARE(driver.textColour("lblWordsNum"), Blue);
    QCOMPARE(driver.shown("txtRobots"), QStringLiteral("index, follow"));
    QCOMPARE(driver.shown("lblRobotsCar"), QStringLiteral("13"));
    QCOMPARE(driver.shown("txtAbstract"),
             QStringLiteral("A neighbourhood bakery with fresh bread daily"));
    QCOMPARE(driver.shown("txtAuthor"), QStringLiteral("Ann Baker"));
    QCOMPARE(driver.shown("txtCopyright"), QStringLiteral("\u00A9 2026 The Corner Bakery"));
    QCOMPARE(driver.shown("lblCopyrightCar"), QStringLiteral("24"));
}

void WindowTest::cancelledSearchAtStart() {
    WindowDriver driver;
    driver.search(QString());
    QVERIFY(!driver.enabled("cmdRecheck"));
    QCOMPARE(driver.shown("txtHTML"), QStringLiteral("html htm asp"));
    QCOMPARE(driver.shown("lblTitleCar"), QStringLiteral(" "));
}

void WindowTest::cancelledSearchKeepsResults() {
    WindowDriver driver;
    const QString path = driver.writePage(title("Kept") + meta("author", "Ann"));
    driver.search(path);
    driver.search(QString());
    QCOMPARE(driver.shown("txtOriginalFile"), QString());
    QCOMPARE(driver.shown("txtHTML"), path);
    QCOMPARE(driver.shown("txtTitle"), QStringLiteral("Kept"));
    QCOMPARE(driver.shown("txtAuthor"), QStringLiteral("Ann"));
    QVERIFY(driver.enabled("cmdRecheck"));

    driver.recheck(); // and the file can be read again without the dialog
    QCOMPARE(driver.shown("txtOriginalFile"), asShown(title("Kept") + meta("author", "Ann")));
}

void WindowTest::recheckReadsTheChangedFile() {
    WindowDriver driver;
    const QString path = driver.writePage(title("Before") + meta("keywords", "a,b"));
    driver.search(path);
    QCOMPARE(driver.shown("lblWordsNum"), QStringLiteral("2"));

    const QByteArray edited = title("After the edit") + meta("keywords", "a,b,c");
    driver.writePage(edited);
    driver.recheck();
    QCOMPARE(driver.shown("txtOriginalFile"), asShown(edited));
    QCOMPARE(driver.shown("txtTitle"), QStringLiteral("After the edit"));
    QCOMPARE(driver.shown("lblTitleCar"), QStringLiteral("14"));
    QCOMPARE(driver.shown("lblWordsNum"), QStringLiteral("3"));
    QCOMPARE(driver.shown("txtHTML"), path);
}

void WindowTest::recheckReadsATypedPath() {
    WindowDriver driver;
    driver.search(driver.writePage(title("First")));
    const QString other = driver.writePage(title("Second"), QStringLiteral("other.htm"));
    driver.typePath(other);
    driver.recheck();
    QCOMPARE(driver.shown("txtTitle"), QStringLiteral("Second"));
    QCOMPARE(driver.shown("txtHTML"), other);
}

void WindowTest::fileThatCannotBeOpened() {
    WindowDriver driver;
    const QString path = driver.writePage(title("Here") + meta("author", "Ann"));
    driver.search(path);
    QFile::remove(path);
    driver.recheck();
    QCOMPARE(driver.shown("txtOriginalFile"),
             QStringLiteral("Cannot open \"%1\": No such file or directory").arg(path));
    QCOMPARE(driver.shown("txtTitle"), QString());
    QCOMPARE(driver.shown("lblTitleCar"), QString());
    QCOMPARE(driver.shown("txtAuthor"), QString());
    QCOMPARE(driver.shown("lblAuthorCar"), QString());
    QCOMPARE(driver.shown("lblKeywordsCar"), QString());
}

// Two pages searched one after the other, and what the window shows after the second.
void WindowTest::pagesInTurn_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QStringList>("shown");   // control=what it shows
    QTest::addColumn<QStringList>("colours"); // control=#rrggbb

    const QByteArray keywords = meta("keywords", "a, b, c");
    QTest::newRow("keywords, then none")
        << keywords << title("t") << QStringList{"txtKeywords=", "lblKeywordsCar=", "lblWordsNum="}
        << QStringList{};
    QTest::newRow("keywords, then empty ones")
        << keywords << meta("keywords", "")
        << QStringList{"txtKeywords=", "lblKeywordsCar=0", "lblWordsNum="}
        << QStringList{"lblKeywordsCar=#0000ff"};
    QTest::newRow("16 words are red")
        << QByteArray() << meta("keywords", QByteArray(15, ','))
        << QStringList{"lblWordsNum=16", "lblKeywordsCar=15"} << QStringList{"lblWordsNum=#ff0000"};
    QTest::newRow("15 words are blue")
        << QByteArray() << meta("keywords", QByteArray(14, ',')) << QStringList{"lblWordsNum=15"}
        << QStringList{"lblWordsNum=#0000ff"};
    QTest::newRow("red title, then none keeps red")
        << title(QByteArray(71, 't')) << QByteArray("<p>no title</p>")
        << QStringList{"txtTitle=", "lblTitleCar="} << QStringList{"lblTitleCar=#ff0000"};
    QTest::newRow("title of 70 is blue")
        << title(QByteArray(71, 't')) << title(QByteArray(70, 't')) << QStringList{"lblTitleCar=70"}
        << QStringList{"lblTitleCar=#0000ff"};
    QTest::newRow("title over a line break counts CR LF as two")
        << QByteArray() << QByteArray("<title>ab\r\ncd</title>")
        << QStringList{"txtTitle=ab\r\ncd", "lblTitleCar=6"} << QStringList{};
    QTest::newRow("description 161 is red")
        << QByteArray() << meta("description", QByteArray(161, 'd'))
        << QStringList{"lblDescriptionCar=161"} << QStringList{"lblDescriptionCar=#ff0000"};
    QTest::newRow("description 160 is blue")
        << QByteArray() << metaContentFirst("description", QByteArray(160, 'd'))
        << QStringList{"lblDescriptionCar=160"} << QStringList{"lblDescriptionCar=#0000ff"};
    QTest::newRow("keywords 261 are red") << QByteArray() << meta("keywords", QByteArray(261, 'k'))
                                          << QStringList{"lblKeywordsCar=261", "lblWordsNum=1"}
                                          << QStringList{"lblKeywordsCar=#ff0000"};
    QTest::newRow("keywords 260 are blue")
        << QByteArray() << metaContentFirst("keywords", QByteArray(260, 'k'))
        << QStringList{"lblKeywordsCar=260"} << QStringList{"lblKeywordsCar=#0000ff"};
    QTest::newRow("name first wins over an earlier content first")
        << QByteArray() << metaContentFirst("robots", "second") + meta("robots", "first")
        << QStringList{"txtRobots=first", "lblRobotsCar=5"} << QStringList{};
    QTest::newRow("robots counter keeps its silver")
        << QByteArray() << meta("robots", QByteArray(300, 'r')) << QStringList{"lblRobotsCar=300"}
        << QStringList{"lblRobotsCar=#c0c0c0"};
    QTest::newRow("author sign repaired, abstract not")
        << QByteArray()
        << "<meta charset=\"windows-1252\">" + meta("author", "\xC2\xA9 Ann") +
               meta("abstract", "\xC2\xA9 Ann")
        << QStringList{"txtAuthor=\u00A9 Ann", "lblAuthorCar=5", "txtAbstract=\u00C2\u00A9 Ann",
                       "lblAbstractCar=6"}
        << QStringList{};
    QTest::newRow("a copyright sign in UTF-8 is as written")
        << QByteArray() << meta("copyright", "\xC2\xA9 Ann") + meta("abstract", "\xC2\xA9 Ann")
        << QStringList{"txtCopyright=\u00A9 Ann", "lblCopyrightCar=5", "txtAbstract=\u00A9 Ann",
                       "lblAbstractCar=5"}
        << QStringList{};
    QTest::newRow("a value that starts with U+FEFF keeps it")
        << QByteArray() << title("\xEF\xBB\xBFHi")
        << QStringList{"txtTitle=\uFEFFHi", "lblTitleCar=3"} << QStringList{};
    QTest::newRow("fields of the first page do not stay")
        << title("t") + meta("description", "d") + meta("robots", "r") + meta("abstract", "a") +
               meta("author", "b") + meta("copyright", "c")
        << QByteArray()
        << QStringList{"txtTitle=",  "lblTitleCar=",  "txtDescription=", "lblDescriptionCar=",
                       "txtRobots=", "lblRobotsCar=", "txtAbstract=",    "lblAbstractCar=",
                       "txtAuthor=", "lblAuthorCar=", "txtCopyright=",   "lblCopyrightCar="}
        << QStringList{};
}

void WindowTest::pagesInTurn() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, colours);

    WindowDriver driver;
    driver.search(driver.writePage(first, QStringLiteral("first.html")));
    driver.search(driver.writePage(second, QStringLiteral("second.html")));
    for (const QString& expected : shown) {
        const QString name = expected.section(u'=', 0, 0);
        QCOMPARE(name + u'=' + driver.shown(name.toLatin1()), expected);
    }
    for (const QString& expected : colours) {
        const QString name = expected.section(u'=', 0, 0);
        QCOMPARE(name + u'=' + driver.textColour(name.toLatin1()).name(), expected);
    }
}

// Each value as its author wrote it, counted in UTF-16 code units, whatever the page's encoding;
// the page box says how the page was read.
void WindowTest::pagesInTheirEncodings_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("reading");
    QTest::newRow("French, declared iso-8859-1")
        << QByteArray("<meta charset=\"iso-8859-1\"><title>Caf\xE9 cr\xE8me et p\xE2tisseries \xE0 "
                      "Paris</title>")
        << QStringLiteral("Café crème et pâtisseries à Paris") << 33
        << QStringLiteral("Read as windows-1252, declared by the page");
    QTest::newRow("Russian, declared in a Content-Type")
        << QByteArray("<meta http-equiv=\""
                      "Content-Type\" content=\"text/html; "
                      "charset=windows-1251\"><title>\xD1\xE2\xE5\xE6\xE8\xE9 \xF5\xEB\xE5\xE1 "
                      "\xEA\xE0\xE6\xE4\xEE\xE5 \xF3\xF2\xF0\xEE</title>")
        << QStringLiteral("Свежий хлеб каждое утро") << 23
        << QStringLiteral("Read as windows-1251, declared by the page");
    QTest::newRow("Arabic, declared windows-1256")
        << QByteArray("<meta charset=windows-1256><title>\xE3\xD1\xCD\xC8\xC7 "
                      "\xC8\xC7\xE1\xDA\xC7\xE1\xE3 2026</title>")
        << QStringLiteral("مرحبا بالعالم 2026") << 18
        << QStringLiteral("Read as windows-1256, declared by the page");
    QTest::newRow("Chinese, declared gb2312")
        << QByteArray("<meta "
                      "charset=\"gb2312\"><title>"
                      "\xD0\xC2\xCF\xCA\xC3\xE6\xB0\xFC\xC3\xBF\xCC\xEC\xD4\xE7\xC9\xCF</title>")
        << QStringLiteral("新鲜面包每天早上") << 8
        << QStringLiteral("Read as GBK, declared by the page");
    QTest::newRow("Japanese, declared Shift_JIS")
        << QByteArray("<meta "
                      "charset=\"Shift_JIS\"><title>"
                      "\x8F\xC4\x82\xAB\x82\xBD\x82\xC4\x82\xCC\x83p\x83\x93</title>")
        << QStringLiteral("焼きたてのパン") << 7
        << QStringLiteral("Read as Shift_JIS, declared by the page");
    QTest::newRow("Japanese, declared EUC-JP")
        << QByteArray(
               "<meta charset=\""
               "euc-jp\"><title>\xBE\xC6\xA4\xAD\xA4\xBF\xA4\xC6\xA4\xCE\xA5\xD1\xA5\xF3</title>")
        << QStringLiteral("焼きたてのパン") << 7
        << QStringLiteral("Read as EUC-JP, declared by the page");
    QTest::newRow("Japanese, declared ISO-2022-JP")
        << QByteArray("<meta charset=\"iso-2022-jp\"><title>\x1B$B>F$-$?$F$N%Q%s\x1B(B</title>")
        << QStringLiteral("焼きたてのパン") << 7
        << QStringLiteral("Read as ISO-2022-JP, declared by the page");
    QTest::newRow("Korean, declared euc-kr")
        << QByteArray("<meta charset=\""
                      "euc-kr\"><title>\xBD\xC5\xBC\xB1\xC7\xD1 \xBB\xA7</title>")
        << QStringLiteral("신선한 빵") << 5
        << QStringLiteral("Read as EUC-KR, declared by the page");
    QTest::newRow("Russian in UTF-8, 60 characters")
        << QByteArray(
               "<title>\xD0\xA1\xD0\xB2\xD0\xB5\xD0\xB6\xD0\xB8\xD0\xB9 "
               "\xD1\x85\xD0\xBB\xD0\xB5\xD0\xB1 \xD0\xBA\xD0\xB0\xD0\xB6\xD0\xB4\xD0\xBE\xD0\xB5 "
               "\xD1\x83\xD1\x82\xD1\x80\xD0\xBE \xD0\xB2 \xD0\xBD\xD0\xB0\xD1\x88\xD0\xB5\xD0\xB9 "
               "\xD0\xBF\xD0\xB5\xD0\xBA\xD0\xB0\xD1\x80\xD0\xBD\xD0\xB5 \xD1\x83 "
               "\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD1\x86\xD0\xB8\xD0\xB8 "
               "\xD0\xBC\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE "
               "\xD0\x90\xD1\x80\xD0\xB1\xD0\xB0\xD1\x82</title>")
        << QStringLiteral("Свежий хлеб каждое утро в нашей пекарне у станции метро Арбат") << 61
        << QStringLiteral("Read as UTF-8: the bytes are valid UTF-8");
    QTest::newRow("Hindi in UTF-8, declared")
        << QByteArray("<meta "
                      "charset=\"utf-8\"><title>"
                      "\xE0\xA4\xA4\xE0\xA4\xBE\xE0\xA4\x9C\xE0\xA4\xBC\xE0\xA4\xBE "
                      "\xE0\xA4\xB0\xE0\xA5\x8B\xE0\xA4\x9F\xE0\xA5\x80 \xE0\xA4\xB9\xE0\xA4\xB0 "
                      "\xE0\xA4\xB8\xE0\xA5\x81\xE0\xA4\xAC\xE0\xA4\xB9</title>")
        << QStringLiteral("ताज़ा रोटी हर सुबह") << 18
        << QStringLiteral("Read as UTF-8, declared by the page");
    QTest::newRow("Greek in UTF-8, by its byte order mark")
        << QByteArray("\xEF\xBB\xBF<title>"
                      "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC "
                      "\xF0\x9F\x8D\x9E</title>")
        << QStringLiteral("Ελληνικά 🍞") << 11
        << QStringLiteral("Read as UTF-8, by its byte order mark");
    QTest::newRow("Greek in UTF-16LE, by its byte order mark")
        << QByteArray("\xFF\xFE<\x00t\x00i\x00t\x00l\x00"
                      "e\x00>\x00\x95\x03\xBB\x03\xBB\x03\xB7\x03\xBD\x03\xB9\x03\xBA\x03\xAC\x03 "
                      "\x00<\xD8^\xDF<\x00/\x00t\x00i\x00t\x00l\x00"
                      "e\x00>\x00",
                      54)
        << QStringLiteral("Ελληνικά 🍞") << 11
        << QStringLiteral("Read as UTF-16LE, by its byte order mark");
    QTest::newRow("nothing declared, not UTF-8")
        << QByteArray("<title>Caf\xE9</title>") << QStringLiteral("Café") << 4
        << QStringLiteral("Read as windows-1252: nothing declares another encoding");
}

void WindowTest::pagesInTheirEncodings() {
    QFETCH(QByteArray, page);
    QFETCH(QString, title);
    QFETCH(int, count);
    QFETCH(QString, reading);
    WindowDriver driver;
    driver.search(driver.writePage(page));
    QCOMPARE(driver.shown("txtTitle"), title);
    QCOMPARE(driver.shown("lblTitleCar"), QString::number(count));
    QCOMPARE(driver.textColour("lblTitleCar"), Blue);
    QCOMPARE(driver.shown("txtOriginalFile"), asShown(page));
    QCOMPARE(driver.control("txtOriginalFile")->toolTip(), reading);
    QVERIFY(driver.control("txtOriginalFile")->accessibleDescription().endsWith(reading));
}

void WindowTest::pageFileDropped_data() {
    QTest::addColumn<QByteArray>("on"); // the control it is dropped on
    QTest::addColumn<QString>("files"); // "page", "page page", "folder"
    QTest::addColumn<Qt::DropActions>("actions");
    QTest::addColumn<bool>("searched");
    const Qt::DropActions copyOrMove = Qt::CopyAction | Qt::MoveAction;
    QTest::newRow("on the page box")
        << QByteArray("txtOriginalFile") << "page" << copyOrMove << true;
    QTest::newRow("on the path box") << QByteArray("txtHTML") << "page" << copyOrMove << true;
    QTest::newRow("on a result box") << QByteArray("txtTitle") << "page" << copyOrMove << true;
    QTest::newRow("on a counter") << QByteArray("lblTitleCar") << "page" << copyOrMove << true;
    QTest::newRow("on the Search button")
        << QByteArray("cmdSearch") << "page" << Qt::DropActions(Qt::CopyAction) << true;
    QTest::newRow("two files") << QByteArray("txtOriginalFile") << "page page" << copyOrMove
                               << false;
    QTest::newRow("a folder") << QByteArray("txtOriginalFile") << "folder" << copyOrMove << false;
    QTest::newRow("a file that may only be moved")
        << QByteArray("txtOriginalFile") << "page" << Qt::DropActions(Qt::MoveAction) << false;
}

// A page file dropped anywhere on the window is searched as if it had been chosen in the Open
// dialog, and is only read: the drop is a copy, so that the program it came from keeps it.
void WindowTest::pageFileDropped() {
    QFETCH(QByteArray, on);
    QFETCH(QString, files);
    QFETCH(Qt::DropActions, actions);
    QFETCH(bool, searched);
    const QByteArray page = title("Dropped") + meta("keywords", "a, b") + meta("author", "Ann");
    WindowDriver searchedAs;
    searchedAs.search(searchedAs.writePage(page));
    WindowDriver driver;
    const QString path = driver.writePage(page);
    QList<QUrl> urls;
    for (const QString& file : files.split(u' '))
        urls << QUrl::fromLocalFile(file == u"folder" ? driver.folder() : path);
    QMimeData data;
    data.setUrls(urls);
    data.setText(urls.front().toString()); // as file managers offer it

    QWidget* control = driver.control(on.constData());
    const QPoint point = control->mapTo(&driver.window(), control->rect().center());
    QWidget* target = driver.window().childAt(point);
    const QPoint at = target->mapFrom(&driver.window(), point);
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, actions, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    QCOMPARE(drop.isAccepted(), searched);
    if (!searched) {
        QCOMPARE(driver.shown("txtHTML"), QStringLiteral("html htm asp"));
        QVERIFY(!driver.enabled("cmdRecheck"));
        return;
    }
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(driver.shown("txtHTML"), path);
    QVERIFY(driver.enabled("cmdRecheck"));
    for (const char* name : {"txtOriginalFile", "txtTitle", "lblTitleCar", "txtKeywords",
                             "lblKeywordsCar", "lblWordsNum", "txtAuthor", "lblAuthorCar"})
        QCOMPARE(driver.shown(name), searchedAs.shown(name));
    QVERIFY(QFile::exists(path));
}

// The same, through the platform's own drag (X11): a file dragged from a widget of its own
// onto the page box, as a file manager drags it.
void WindowTest::pageFileDraggedOntoTheWindow() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("Drags need a platform that has them: see test_window_on_x11");
    WindowDriver driver;
    const QString path = driver.writePage(title("Dragged"));
    QWidget files; // where the file is dragged from
    files.setGeometry(driver.window().geometry().right() + 20, 0, 100, 100);
    files.show();
    QVERIFY(QTest::qWaitForWindowExposed(&files));
    QWidget* pageBox = driver.control("txtOriginalFile");
    QWidget* target =
        driver.window().childAt(pageBox->mapTo(&driver.window(), pageBox->rect().center()));
    const QPoint at = target->rect().center();
    QTimer::singleShot(100, target, [&] {
        QTest::mouseMove(target, at);
        QTest::qWait(100);
        QTest::mouseMove(target, at + QPoint(1, 0));
        QTest::qWait(100);
        QTest::mouseRelease(target, Qt::LeftButton, {}, at + QPoint(1, 0));
    });
    auto* drag = new QDrag(&files);
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    drag->setMimeData(data);
    QCOMPARE(drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction), Qt::CopyAction);
    QCOMPARE(driver.shown("txtHTML"), path);
    QCOMPARE(driver.shown("txtTitle"), QStringLiteral("Dragged"));
    QVERIFY(QFile::exists(path));
}

void WindowTest::textBoxReadsBackWhatItHolds() {
    QWidget window;
    (new PlainTextBox(&window))->setObjectName(QStringLiteral("box"));
    TextBox box(window, "box");

    const QString written = QStringLiteral("a\r\nb\rc\nd\u00A0e\0f") + QString(40000, u'x');
    box.SetText(written);
    QCOMPARE(box.Text(), written);
    QCOMPARE(box.Length(), written.size());

    box.SetText(std::string_view("\xE2\x82\xAC\xC3\x82\xC2\xA9\r\n\xF0\x9F\x8D\x9E"));
    QCOMPARE(box.Text(), QStringLiteral("\u20AC\u00C2\u00A9\r\n\U0001F35E"));
    QCOMPARE(box.Length(), 7);

    box.SetText(QString());
    auto* typedInto = window.findChild<PlainTextBox*>(QStringLiteral("box"));
    QTest::keyClicks(typedInto, QStringLiteral("one"));
    QTest::keyClick(typedInto, Qt::Key_Return);
    QTest::keyClicks(typedInto, QStringLiteral("two"));
    QCOMPARE(box.Text(), QStringLiteral("one\r\ntwo"));
    QCOMPARE(box.Length(), 8);
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
