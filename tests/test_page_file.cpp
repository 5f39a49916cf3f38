#include "page_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class PageFileTest : public QObject {
    Q_OBJECT

private slots:
    void readsAWholeFile();
    void cannotOpen_data();
    void cannotOpen();
    void fifoWithoutWriterIsEmpty();
    void endlessDeviceStopsAtTheBound();

private:
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
    QCOMPARE(page.text, QStringLiteral("<title>a</title>\r\nb\r\nc\r\n"));
}

void PageFileTest::cannotOpen_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no such file") << folder_.filePath(QStringLiteral("missing.html"))
                                  << QStringLiteral("No such file or directory");
    QTest::newRow("empty path") << QString() << QStringLiteral("No such file or directory");
    QTest::newRow("folder") << folder_.path() << QStringLiteral("Is a directory");
}

void PageFileTest::cannotOpen() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const load::PageFile page = load::readPageFile(path);
    QCOMPARE(page.text, QString());
    QCOMPARE(page.error, QStringLiteral("Cannot open \"%1\": %2").arg(path, reason));
}

void PageFileTest::fifoWithoutWriterIsEmpty() {
    const QString path = folder_.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const load::PageFile page = load::readPageFile(path);
    QCOMPARE(page.error, QString());
    QCOMPARE(page.text, QString());
}

void PageFileTest::endlessDeviceStopsAtTheBound() {
    const load::PageFile page = load::readPageFile(QStringLiteral("/dev/zero"));
    QCOMPARE(page.text, QString());
    QCOMPARE(page.error, QStringLiteral("Cannot open \"/dev/zero\": Larger than 256 MiB"));
}

QTEST_GUILESS_MAIN(PageFileTest)
#include "test_page_file.moc"
