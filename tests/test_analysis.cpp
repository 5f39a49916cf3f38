#include "app/qt_text.h"
#include "load/page_file.h"
#include "scan/analysis.h"
#include "tests/rule_pages.h"
#include "tests/window_driver.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The window shows exactly what the analysis of the page says: every box, every counter's
// caption and limit colour, and the keyword count, after a page that filled every field.

namespace {

QString colourName(const scan::Rgb& colour) {
    return QColor(colour.red, colour.green, colour.blue).name();
}

} // namespace

class AnalysisTest : public QObject {
    Q_OBJECT

private slots:
    void windowShowsTheAnalysis_data();
    void windowShowsTheAnalysis();
};

void AnalysisTest::windowShowsTheAnalysis_data() {
    QTest::addColumn<QByteArray>("bytes");
    for (const QFileInfo& file : QDir(QStringLiteral("pages")).entryInfoList(QDir::Files)) {
        QFile page(file.filePath());
        QVERIFY(page.open(QIODevice::ReadOnly));
        QTest::newRow(qPrintable(file.fileName())) << page.readAll();
    }
    const auto rows = [](const char* table, const std::vector<LookupCase>& cases,
                         const std::string& around) {
        for (const LookupCase& c : cases)
            QTest::addRow("%s: %s", table, c.name) << QByteArray::fromStdString(
                around.empty() ? c.page : around + "\r\n" + c.page + "\r\n" + around);
    };
    rows("title", TitleCases, "");
    rows("name first", NameFirstCases, "");
    rows("content first", ContentFirstCases, "");
    rows("content first, long word", LongContentFirstCases, "");
    rows("either order", EitherOrderCases, "");
    // The same pages among the other tags, which then stand before and after each of them.
    const std::string others = "<title>t</title><meta name=\"description\" content=\"d\">"
                               "<meta content=\"k,l,m\" name=\"keywords\">"
                               "<meta name=\"copyright\" content=\"\xC2\xA9 c\">";
    rows("among others, name first", NameFirstCases, others);
    rows("among others, content first", ContentFirstCases, others);
}

void AnalysisTest::windowShowsTheAnalysis() {
    QFETCH(QByteArray, bytes);
    std::string page = bytes.toStdString();
    QVERIFY(load::makePageTextOfFile(page));
    const scan::Analysis analysis = scan::analysePage(page);

    WindowDriver driver;
    driver.search(driver.writePage(
        "<title>earlier</title><meta name=\"description\" content=\"e\">"
        "<meta name=\"keywords\" content=\"a,b\"><meta name=\"robots\" content=\"r\">"
        "<meta name=\"abstract\" content=\"s\"><meta name=\"author\" content=\"Ann\">"
        "<meta name=\"copyright\" content=\"c\">",
        QStringLiteral("earlier.html")));
    driver.search(driver.writePage(bytes));

    const struct {
        const scan::Field& field;
        const char* box;
        const char* counter;
    } fields[] = {{analysis.title, "txtTitle", "lblTitleCar"},
                  {analysis.description, "txtDescription", "lblDescriptionCar"},
                  {analysis.keywords, "txtKeywords", "lblKeywordsCar"},
                  {analysis.robots, "txtRobots", "lblRobotsCar"},
                  {analysis.abstract, "txtAbstract", "lblAbstractCar"},
                  {analysis.author, "txtAuthor", "lblAuthorCar"},
                  {analysis.copyright, "txtCopyright", "lblCopyrightCar"}};
    for (const auto& f : fields) {
        QCOMPARE(driver.shown(f.box), fromPageText(f.field.shown));
        QCOMPARE(driver.shown(f.counter),
                 f.field.counter ? QString::fromStdString(f.field.counter->caption) : QString());
        if (f.field.counter && f.field.counter->colour)
            QCOMPARE(driver.textColour(f.counter).name(), colourName(*f.field.counter->colour));
    }
    QCOMPARE(driver.shown("lblWordsNum"),
             analysis.words ? QString::fromStdString(analysis.words->caption) : QString());
    if (analysis.words)
        QCOMPARE(driver.textColour("lblWordsNum").name(), colourName(*analysis.words->colour));
}

QTEST_MAIN(AnalysisTest)
#include "test_analysis.moc"
