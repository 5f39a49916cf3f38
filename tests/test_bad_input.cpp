#include "tests/window_driver.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>

#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Whatever lies on the disk, the window shows what happened, keeps working and never touches
// the file.

namespace {

enum class Command { Search, RecheckTypedPath, RecheckPastedPath, SearchThenRecheck };

// Makes the page file of a row in the driver's folder and answers its path.
using Prepare = std::function<QString(WindowDriver&)>;
// Changes the file between the Search and the Recheck of a row.
using Between = std::function<void(WindowDriver&, const QString& path)>;

Prepare page(const QByteArray& bytes) {
    return [bytes](WindowDriver& driver) { return driver.writePage(bytes); };
}

Prepare path(const QString& fixed) {
    return [fixed](WindowDriver&) { return fixed; };
}

QByteArray meta(const QByteArray& word, const QByteArray& content) {
    return "<meta name=\"" + word + "\" content=\"" + content + "\">";
}

struct FileState {
    QByteArray bytes;
    QDateTime modified;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return {file.readAll(), QFileInfo(path).lastModified()};
}

// The descriptors this process holds open on `path`.
int openDescriptorsOn(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    int open = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        open += !target.isEmpty() && fd.symLinkTarget() == target;
    return open;
}

QString expand(QString text, const QString& path, const QString& folder) {
    return text.replace(QLatin1String("%path%"), path).replace(QLatin1String("%folder%"), folder);
}

// What a row keeps running while the window is driven: undone after the row.
std::vector<std::function<void()>> undoAfterRow;

// A FIFO whose writer sends data for as long as the row lasts.
QString fedFifo(WindowDriver& driver) {
    const QString path = driver.folder() + QStringLiteral("/fed");
    ::mkfifo(QFile::encodeName(path).constData(), 0600);
    // Opened for reading and writing, so that it has a writer whatever else opens it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK);
    auto feeding = std::make_shared<std::atomic<bool>>(true);
    auto writer = std::make_shared<std::thread>([fd, feeding] {
        while (*feeding) {
            [[maybe_unused]] const auto written = ::write(fd, "<p>more</p>\n", 12);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
    });
    undoAfterRow.push_back([feeding, writer] {
        *feeding = false;
        writer->join();
    });
    return path;
}

QString listeningSocket(WindowDriver& driver) {
    const QString path = driver.folder() + QStringLiteral("/socket");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(fd, 1);
    undoAfterRow.push_back([fd] { ::close(fd); });
    return path;
}

} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Prepare)
Q_DECLARE_METATYPE(Between)

class BadInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGPIPE, SIG_IGN); }
    void cleanup();
    void badInput_data();
    void badInput();
    void fileThatGrowsWhileItIsRead();
    void openDialogListsAnyFolder_data();
    void openDialogListsAnyFolder();
};

void BadInputTest::badInput_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<Prepare>("prepare");
    QTest::addColumn<Between>("between");
    QTest::addColumn<QStringList>("shown"); // control=text, or control#=length of its text

    const QStringList emptied{"txtTitle=", "lblTitleCar=", "txtAuthor=", "lblAuthorCar="};
    const auto cannotOpen = [&](const char* reason) {
        return QStringList{QStringLiteral("txtOriginalFile=Cannot open \"%path%\": ") +
                           QLatin1String(reason)} +
               emptied;
    };

    QTest::newRow("no such file") << Command::RecheckTypedPath << Prepare([](WindowDriver& d) {
        return d.folder() + "/missing.html";
    }) << Between() << cannotOpen("No such file or directory");
    QTest::newRow("folder") << Command::RecheckTypedPath
                            << Prepare([](WindowDriver& d) { return d.folder(); }) << Between()
                            << cannotOpen("Is a directory");
    QTest::newRow("no read permission")
        << Command::RecheckTypedPath << Prepare([](WindowDriver& d) {
               const QString path = d.writePage("<title>secret</title>");
               QFile::setPermissions(path, QFileDevice::WriteOwner);
               return path;
           })
        << Between() << cannotOpen("Permission denied");
    QTest::newRow("FIFO without a writer")
        << Command::RecheckTypedPath << Prepare([](WindowDriver& d) {
               const QString path = d.folder() + "/fifo";
               ::mkfifo(QFile::encodeName(path).constData(), 0600);
               return path;
           })
        << Between() << cannotOpen("Not a regular file but a named pipe");
    QTest::newRow("FIFO whose writer never stops")
        << Command::RecheckTypedPath << Prepare(fedFifo) << Between()
        << cannotOpen("Not a regular file but a named pipe");
    QTest::newRow("socket") << Command::RecheckTypedPath << Prepare(listeningSocket) << Between()
                            << cannotOpen("Not a regular file but a socket");
    QTest::newRow("/dev/null") << Command::RecheckTypedPath << path("/dev/null") << Between()
                               << cannotOpen("Not a regular file but a character device");
    QTest::newRow("endless device") << Command::RecheckTypedPath << path("/dev/zero") << Between()
                                    << cannotOpen("Not a regular file but a character device");
    // A regular file of size 0 that has a text all the same.
    QTest::newRow("a file of /proc")
        << Command::RecheckTypedPath << path("/proc/version") << Between()
        << QStringList{"txtOriginalFile^=Linux version", "txtTitle=", "txtAuthor="};
    QTest::newRow("NUL in a typed path")
        << Command::RecheckPastedPath << Prepare([](WindowDriver& d) {
               d.writePage("<title>not this one</title>");
               return d.folder() + QStringLiteral("/page.html") + QChar(u'\0') + ".bak";
           })
        << Between()
        << (QStringList{"txtOriginalFile=Cannot open \"%folder%/page.html\\0.bak\": The path "
                        "holds a NUL character"} +
            emptied);
    QTest::newRow("line break in a typed path")
        << Command::RecheckPastedPath
        << Prepare([](WindowDriver& d) { return d.folder() + QStringLiteral("/a\r\nb.html"); })
        << Between()
        << (QStringList{"txtOriginalFile=Cannot open \"%folder%/a\\r\\nb.html\": No such file "
                        "or directory"} +
            emptied);
    QTest::newRow("empty file") << Command::Search << page("") << Between()
                                << (QStringList{"txtOriginalFile=", "lblKeywordsCar=",
                                                "lblWordsNum=", "lblRobotsCar="} +
                                    emptied);
    QTest::newRow("one NUL byte") << Command::Search << page(QByteArray(1, '\0')) << Between()
                                  << (QStringList{QStringLiteral("txtOriginalFile#=3")} + emptied);
    QTest::newRow("NUL bytes inside a title")
        << Command::Search << page(QByteArray("<title>a\0b\0</title>", 20)) << Between()
        << QStringList{"lblTitleCar=4", "txtTitle#=4"};
    QTest::newRow("lone CRs") << Command::Search
                              << page("<title>a\rb</title>\r" + meta("author", "x\ry")) << Between()
                              << QStringList{"lblTitleCar=4", "lblAuthorCar=4",
                                             "txtOriginalFile=<title>a\r\nb</title>\r\n" +
                                                 meta("author", "x\r\ny") + "\r\n"};
    QTest::newRow("LF only and no final line end")
        << Command::Search << page("<title>a\nb</title>\n" + meta("author", "x")) << Between()
        << QStringList{"lblTitleCar=4", "lblAuthorCar=1",
                       "txtOriginalFile=<title>a\r\nb</title>\r\n" + meta("author", "x") + "\r\n"};
    QTest::newRow("mixed line ends")
        << Command::Search << page("<title>a\r\nb\nc\rd</title>\n\r\n") << Between()
        << QStringList{"lblTitleCar=10", "txtOriginalFile=<title>a\r\nb\r\nc\r\nd</title>\r\n\r\n"};
    QByteArray high;
    for (int byte = 0x80; byte <= 0x9F; ++byte)
        high += char(byte);
    QTest::newRow("bytes 0x80 to 0x9F")
        << Command::Search << page("<title>" + high + "</title>") << Between()
        << QStringList{"lblTitleCar=32",
                       QStringLiteral("txtTitle=\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021"
                                      "\u02C6\u2030\u0160\u2039\u0152\u008D\u017D\u008F\u0090"
                                      "\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122"
                                      "\u0161\u203A\u0153\u009D\u017E\u0178")};
    QTest::newRow("UTF-8 copyright sign")
        << Command::Search << page(meta("copyright", "\xC2\xA9 2026 Ann")) << Between()
        << QStringList{QStringLiteral("txtCopyright=\u00A9 2026 Ann"), "lblCopyrightCar=10"};
    QTest::newRow("a title without its end")
        << Command::Search << page("<title>abc" + meta("author", "x")) << Between()
        << QStringList{"txtTitle=", "lblTitleCar=", "txtAuthor=x"};
    QTest::newRow("a meta tag without its end")
        << Command::Search << page("<meta name=\"author\" content=\"Ann\"") << Between()
        << QStringList{"txtAuthor=", "lblAuthorCar="};
    QTest::newRow("a length below zero")
        << Command::Search
        << page("<meta name=\"author\" content=\"><meta content=\"a>b\" name=\"robots\">")
        << Between() << QStringList{"txtAuthor=", "lblAuthorCar=0", "txtRobots=", "lblRobotsCar=0"};
    QTest::newRow("tags beyond 32767, values longer")
        << Command::Search
        << page(QByteArray(40000, 'x') + "<title>" + QByteArray(33000, 't') + "</title>" +
                meta("description", QByteArray(40000, 'd')) + "<meta content=\"" +
                QByteArray(50000, ',') + "\" name=\"keywords\">")
        << Between()
        << QStringList{"lblTitleCar=33000", "lblDescriptionCar=40000", "txtDescription#=40000",
                       "lblKeywordsCar=50000", "lblWordsNum=50001"};
    QTest::newRow("100 MB page") << Command::Search << Prepare([](WindowDriver& d) {
        const QByteArray line = QByteArray(98, 'p') + "\r\n";
        QByteArray bytes;
        bytes.reserve(100'000'000);
        while (bytes.size() < 100'000'000 - 100)
            bytes += line;
        return d.writePage(bytes + "<title>late</title>");
    }) << Between() << QStringList{"txtTitle=late", "lblTitleCar=4"};
    QTest::newRow("deleted between Search and Recheck")
        << Command::SearchThenRecheck << page("<title>here</title>" + meta("author", "Ann"))
        << Between([](WindowDriver&, const QString& path) { QFile::remove(path); })
        << cannotOpen("No such file or directory");
    QTest::newRow("replaced between Search and Recheck")
        << Command::SearchThenRecheck << page("<title>old</title>")
        << Between([](WindowDriver& d, const QString& path) {
               const QString fresh = d.writePage("<title>new one</title>", "fresh.html");
               QFile::remove(path);
               QFile::rename(fresh, path);
           })
        << QStringList{"txtTitle=new one", "lblTitleCar=7"};
}

void BadInputTest::badInput() {
    QFETCH(Command, command);
    QFETCH(Prepare, prepare);
    QFETCH(Between, between);
    QFETCH(QStringList, shown);
    if (QByteArray(QTest::currentDataTag()) == "no read permission" && ::geteuid() == 0)
        QSKIP("running as root, which reads a file without read permission all the same");

    WindowDriver driver;
    // An earlier page, so that what stays of it can be seen.
    driver.search(
        driver.writePage("<title>earlier</title>" + meta("author", "Ann") + meta("keywords", "a,b"),
                         QStringLiteral("earlier.html")));
    const QString file = prepare(driver);
    const int openBefore = openDescriptorsOn(file); // the row's own, a pipe's writer say
    if (command == Command::RecheckTypedPath || command == Command::RecheckPastedPath) {
        if (command == Command::RecheckTypedPath)
            driver.typePath(file);
        else
            driver.pastePath(file);
        driver.recheck();
    } else {
        driver.search(file);
        if (command == Command::SearchThenRecheck) {
            between(driver, file);
            const FileState before = stateOf(file);
            driver.recheck();
            QVERIFY(stateOf(file) == before);
        }
    }
    QCOMPARE(driver.shown("txtHTML"), file);
    const FileState before = stateOf(file);
    driver.recheck(); // once more: the same outcome, and the file still untouched
    QVERIFY(stateOf(file) == before);
    QCOMPARE(openDescriptorsOn(file), openBefore);

    for (QString expected : shown) {
        expected = expand(expected, file, driver.folder());
        const QString name = expected.section(QRegularExpression("[#^]?="), 0, 0);
        const QString text = driver.shown(name.toLatin1());
        if (expected.startsWith(name + "#="))
            QCOMPARE(name + "#=" + QString::number(text.size()), expected);
        else if (expected.startsWith(name + "^="))
            QVERIFY2(text.startsWith(expected.mid(name.size() + 2)), qPrintable(text.left(200)));
        else
            QCOMPARE(name + u'=' + text, expected);
    }
}

void BadInputTest::cleanup() {
    for (const auto& undo : undoAfterRow)
        undo();
    undoAfterRow.clear();
}

// A file that another program appends to during the Search: the window shows some whole
// beginning of it, every line ended, and nothing of it is changed.
void BadInputTest::fileThatGrowsWhileItIsRead() {
    WindowDriver driver;
    const QByteArray line = QByteArray(60, 'g') + "\r\n";
    const QString path = driver.writePage("<title>growing</title>\r\n");
    std::atomic<bool> stop = false;
    std::thread grow([&] {
        QFile file(path);
        if (!file.open(QIODevice::Append))
            return;
        for (int i = 0; i < 200'000 && !stop; ++i)
            file.write(line);
    });
    driver.search(path);
    stop = true;
    grow.join();
    const QString shown = driver.shown("txtOriginalFile");
    QCOMPARE(driver.shown("txtTitle"), QStringLiteral("growing"));
    QVERIFY(shown.endsWith(QLatin1String("\r\n")));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLatin1(file.readAll()).startsWith(shown.chopped(2)));
}

// Browsing in the Open dialog never waits on a file it lists, whatever the file is: the types
// and icons of all of them come, and the dialog closes. A watchdog ends the test if they don't.
void BadInputTest::openDialogListsAnyFolder_data() {
    QTest::addColumn<QString>("folder");
    QTest::newRow("a folder holding a FIFO that no one writes") << QString();
    QTest::newRow("/proc") << QStringLiteral("/proc");
    QTest::newRow("/dev") << QStringLiteral("/dev");
}

void BadInputTest::openDialogListsAnyFolder() {
    QFETCH(QString, folder);
    std::atomic<bool> done = false;
    std::thread watchdog([&done] {
        for (int tenths = 0; tenths < 600 && !done; ++tenths)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done) {
            std::fprintf(stderr, "The Open dialog blocked on a file it lists\n");
            std::abort();
        }
    });
    {
        WindowDriver driver;
        if (folder.isEmpty()) {
            folder = driver.folder();
            QCOMPARE(::mkfifo(QFile::encodeName(folder + "/fifo").constData(), 0600), 0);
            driver.writePage("<title>t</title>");
        }
        bool listed = false;
        driver.onOpenDialog([folder, &listed](QFileDialog& dialog) {
            // Pipes, sockets and devices too, which the dialog otherwise leaves out.
            dialog.setFilter(dialog.filter() | QDir::System);
            dialog.setViewMode(QFileDialog::Detail);
            dialog.setDirectory(folder);
            auto* model = qobject_cast<QFileSystemModel*>(
                dialog.findChild<QTreeView*>(QStringLiteral("treeView"))->model());
            const QModelIndex root = model->index(folder);
            // Every file's type, which the folder reader works out beside the dialog.
            listed = QTest::qWaitFor(
                [&] {
                    for (int row = 0; row < model->rowCount(root); ++row)
                        if (model->data(model->index(row, 2, root)).toString().isEmpty())
                            return false;
                    return model->rowCount(root) > 0;
                },
                20000);
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QTest::mouseClick(driver.control("cmdSearch"), Qt::LeftButton);
        QCOMPARE(driver.dialogsAnswered(), 1);
        QVERIFY(listed);
    }
    done = true;
    watchdog.join();
}

QTEST_MAIN(BadInputTest)
#include "test_bad_input.moc"
