#include "load/page_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class PageFileTest : public QObject {
    Q_OBJECT

private slots:
    void readsAWholeFile();
    void theLimitCountsTheFilesBytes();
    void cannotOpen_data();
    void cannotOpen();

private:
    QString fifo();
    QString socket();

    QTemporaryDir folder_;
};

void PageFileTest::readsAWholeFile() {
    const QString path = folder_.filePath(QStringLiteral("page.html"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<title>a</title>\nb\rc");
    file.close();
    const load::PageFile page = load::readPageFile(path);
    QCOMPARE(page.error, QString());
    QCOMPARE(*page.text, std::string("<title>a</title>\r\nb\r\nc\r\n"));
    QCOMPARE(load::describe(page.reading),
             QStringLiteral("Read as UTF-8: the bytes are valid UTF-8"));
}

// A file of 256 MiB is read, whatever its text's length: here UTF-16 whose text is half as long.
void PageFileTest::theLimitCountsTheFilesBytes() {
    const QString path = folder_.filePath(QStringLiteral("utf-16.html"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\xFF\xFE");
    QVERIFY(file.resize(load::MaxPageBytes)); // NUL characters, without writing them
    file.close();
    const load::PageFile page = load::readPageFile(path);
    QCOMPARE(page.error, QString());
    QCOMPARE(page.text->size(), std::size_t(load::MaxPageBytes / 2 - 1 + 2));
    QCOMPARE(load::describe(page.reading),
             QStringLiteral("Read as UTF-16LE, by its byte order mark"));
    QVERIFY(QFile::remove(path));
}

QString PageFileTest::fifo() {
    const QString path = folder_.filePath(QStringLiteral("fifo"));
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
        qFatal("cannot make a FIFO");
    return path;
}

QString PageFileTest::socket() {
    const QString path = folder_.filePath(QStringLiteral("socket"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        qFatal("cannot make a socket");
    return path;
}

void PageFileTest::cannotOpen_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("shownPath"); // the path as the line shows it

    const QString missing = folder_.filePath(QStringLiteral("missing.html"));
    const auto row = [](const char* name, const QString& path, const char* reason) {
        QTest::newRow(name) << path << QString::fromLatin1(reason) << path;
    };
    row("no such file", missing, "No such file or directory");
    row("empty path", QString(), "No such file or directory");
    row("folder", folder_.path(), "Is a directory");
    row("FIFO", fifo(), "Not a regular file but a named pipe");
    row("socket", socket(), "Not a regular file but a socket");
    row("character device", QStringLiteral("/dev/null"),
        "Not a regular file but a character device");
    QTest::newRow("NUL in the path")
        << folder_.filePath(QStringLiteral("page.html")) + QChar(u'\0') + QStringLiteral(".bak")
        << QStringLiteral("The path holds a NUL character")
        << folder_.filePath(QStringLiteral("page.html\\0.bak"));
    QTest::newRow("line ends and controls in the path")
        << missing + QStringLiteral("\r\n\t\x1B\u2028")
        << QStringLiteral("No such file or directory")
        << missing + QStringLiteral("\\r\\n\\t\\u001B\\u2028");

    const QString large = folder_.filePath(QStringLiteral("large.html"));
    QFile file(large);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(load::MaxPageBytes + 1))
        qFatal("cannot make a large file");
    row("larger than 256 MiB", large, "Larger than 256 MiB");
}

void PageFileTest::cannotOpen() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QFETCH(QString, shownPath);
    const load::PageFile page = load::readPageFile(path);
    QCOMPARE(*page.text, std::string());
    QCOMPARE(page.error, QStringLiteral("Cannot open \"%1\": %2").arg(shownPath, reason));
}

QTEST_GUILESS_MAIN(PageFileTest)
#include "test_page_file.moc"
