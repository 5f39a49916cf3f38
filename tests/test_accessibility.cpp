#include "app/frmMetatags.h"
#include "tests/window_driver.h"

#include <QAccessible>
#include <QMetaEnum>
#include <QTest>

// The window as a screen reader meets it, read through the toolkit's accessibility interfaces:
// names, roles, the captions tied to the boxes, and the counters' numbers and descriptions.

namespace {

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

QString roleName(QAccessible::Role role) {
    return QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(role));
}

// A counter as a screen reader reads it: name, role, text and description.
QString reading(QAccessibleInterface* counter) {
    QAccessibleTextInterface* text = counter->textInterface();
    return QStringLiteral("%1 | %2 | '%3' | %4")
        .arg(counter->text(QAccessible::Name), roleName(counter->role()),
             text ? text->text(0, text->characterCount()) : QStringLiteral("(no text)"),
             counter->text(QAccessible::Description));
}

const char* const Counters[] = {"lblTitleCar",  "lblDescriptionCar", "lblKeywordsCar",
                                "lblWordsNum",  "lblAbstractCar",    "lblRobotsCar",
                                "lblAuthorCar", "lblCopyrightCar"};

QByteArray meta(const QByteArray& word, const QByteArray& content) {
    return "<meta name=\"" + word + "\" content=\"" + content + "\">\r\n";
}

QByteArray title(const QByteArray& text) {
    return "<title>" + text + "</title>\r\n";
}

// `words` keywords in `characters` characters.
QByteArray keywords(int words, int characters) {
    QByteArray list = QByteArray(words - 1, ',');
    return list.prepend(QByteArray(characters - list.size(), 'k'));
}

QByteArray page(int titleLength, int descriptionLength, const QByteArray& keywordList) {
    return "<html><head>\r\n" + title(QByteArray(titleLength, 't')) +
           meta("description", QByteArray(descriptionLength, 'd')) + meta("keywords", keywordList) +
           meta("abstract", "A page") + meta("robots", "noindex") + meta("author", "Ann") +
           meta("copyright", "2026 Ann") + "</head><body>Text</body></html>\r\n";
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void controlsThatTakeTheFocus_data();
    void controlsThatTakeTheFocus();
    void everyControlThatTakesTheFocusIsNamed();
    void captionsAndHintsReadAsShown();
    void counters_data();
    void counters();
};

void AccessibilityTest::controlsThatTakeTheFocus_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("caption"); // the label tied to it, if any

    const auto box = [](const char* control, const char* name, const char* caption) {
        QTest::newRow(control) << control << name << QAccessible::EditableText << caption;
    };
    box("txtHTML", "HTML file", "lblHTML");
    box("txtTitle", "Title", "lblTitle");
    box("txtDescription", "Description", "lblDescription");
    box("txtKeywords", "Keywords", "lblKeywords");
    box("txtAbstract", "Abstract", "lblAbstract");
    box("txtRobots", "Robots", "lblRobots");
    box("txtAuthor", "Author", "lblAuthor");
    box("txtCopyright", "Copyright", "lblCopyright");
    box("txtOriginalFile", "Page text", "");
    QTest::newRow("cmdSearch") << "cmdSearch"
                               << "Search" << QAccessible::PushButton << "";
    QTest::newRow("cmdRecheck") << "cmdRecheck"
                                << "Recheck" << QAccessible::PushButton << "";
    QTest::newRow("Picture1") << "Picture1"
                              << "HTML picture" << QAccessible::Graphic << "";
}

void AccessibilityTest::controlsThatTakeTheFocus() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, caption);

    WindowDriver driver;
    QAccessibleInterface* interface = accessible(driver.control(control.toLatin1()));
    QCOMPARE(interface->text(QAccessible::Name), name);
    QCOMPARE(roleName(interface->role()), roleName(role));
    QStringList labels;
    for (const auto& [label, relation] : interface->relations(QAccessible::Label))
        labels << label->object()->objectName();
    QCOMPARE(labels, caption.isEmpty() ? QStringList() : QStringList{caption});
}

// A control added later without a name would be read by its role alone.
void AccessibilityTest::everyControlThatTakesTheFocusIsNamed() {
    WindowDriver driver;
    int focusable = 0;
    for (QWidget* widget : driver.window().findChildren<QWidget*>()) {
        if (widget->window() != &driver.window() || !(widget->focusPolicy() & Qt::TabFocus))
            continue;
        ++focusable;
        QVERIFY2(!accessible(widget)->text(QAccessible::Name).isEmpty(),
                 qPrintable(widget->objectName()));
    }
    QCOMPARE(focusable, 12);
}

void AccessibilityTest::captionsAndHintsReadAsShown() {
    WindowDriver driver;
    for (const char* label : {"lblHTML", "lblTitle", "lblDefTitleCar", "lblDefWords", "lblRobots",
                              "lblDefAbtractCar"}) {
        QAccessibleInterface* interface = accessible(driver.control(label));
        QCOMPARE(interface->text(QAccessible::Name), driver.shown(label));
        QCOMPARE(roleName(interface->role()), roleName(QAccessible::StaticText));
    }
}

// Pages in turn: the first searched, each later one written over it and rechecked; then what
// a screen reader reads of each counter.
void AccessibilityTest::counters_data() {
    QTest::addColumn<QList<QByteArray>>("pages");
    QTest::addColumn<QStringList>("readings");

    QTest::newRow("at start") << QList<QByteArray>{}
                              << QStringList{"Title length | StaticText | ' ' | ",
                                             "Description length | StaticText | ' ' | ",
                                             "Keywords length | StaticText | ' ' | ",
                                             "Keyword count | StaticText | ' ' | ",
                                             "Abstract length | StaticText | ' ' | ",
                                             "Robots length | StaticText | ' ' | ",
                                             "Author length | StaticText | ' ' | ",
                                             "Copyright length | StaticText | ' ' | "};
    QTest::newRow("over the limits")
        << QList<QByteArray>{page(71, 161, keywords(16, 100))}
        << QStringList{"Title length | StaticText | '71' | Over the limit of 70 characters",
                       "Description length | StaticText | '161' | Over the limit of 160 characters",
                       "Keywords length | StaticText | '100' | Within the limit of 260 characters",
                       "Keyword count | StaticText | '16' | Over the limit of 15 keywords",
                       "Abstract length | StaticText | '6' | ",
                       "Robots length | StaticText | '7' | ",
                       "Author length | StaticText | '3' | ",
                       "Copyright length | StaticText | '8' | "};
    QTest::newRow("at the limits")
        << QList<QByteArray>{page(71, 161, keywords(16, 261)), page(70, 160, keywords(15, 260))}
        << QStringList{
               "Title length | StaticText | '70' | Within the limit of 70 characters",
               "Description length | StaticText | '160' | Within the limit of 160 characters",
               "Keywords length | StaticText | '260' | Within the limit of 260 characters",
               "Keyword count | StaticText | '15' | Within the limit of 15 keywords",
               "Abstract length | StaticText | '6' | ",
               "Robots length | StaticText | '7' | ",
               "Author length | StaticText | '3' | ",
               "Copyright length | StaticText | '8' | "};
    QTest::newRow("keywords over 260 characters")
        << QList<QByteArray>{page(1, 1, keywords(2, 261))}
        << QStringList{"Title length | StaticText | '1' | Within the limit of 70 characters",
                       "Description length | StaticText | '1' | Within the limit of 160 characters",
                       "Keywords length | StaticText | '261' | Over the limit of 260 characters",
                       "Keyword count | StaticText | '2' | Within the limit of 15 keywords",
                       "Abstract length | StaticText | '6' | ",
                       "Robots length | StaticText | '7' | ",
                       "Author length | StaticText | '3' | ",
                       "Copyright length | StaticText | '8' | "};
    // Red counters emptied: their colour stays, but they show nothing to describe.
    QTest::newRow("tags gone")
        << QList<QByteArray>{page(71, 161, keywords(16, 100)), "<html><body>Text</body></html>"}
        << QStringList{
               "Title length | StaticText | '' | ",    "Description length | StaticText | '' | ",
               "Keywords length | StaticText | '' | ", "Keyword count | StaticText | '' | ",
               "Abstract length | StaticText | '' | ", "Robots length | StaticText | '' | ",
               "Author length | StaticText | '' | ",   "Copyright length | StaticText | '' | "};
    QTest::newRow("keywords emptied")
        << QList<QByteArray>{page(71, 161, keywords(16, 100)), meta("keywords", "")}
        << QStringList{"Title length | StaticText | '' | ",
                       "Description length | StaticText | '' | ",
                       "Keywords length | StaticText | '0' | Within the limit of 260 characters",
                       "Keyword count | StaticText | '' | ",
                       "Abstract length | StaticText | '' | ",
                       "Robots length | StaticText | '' | ",
                       "Author length | StaticText | '' | ",
                       "Copyright length | StaticText | '' | "};
}

void AccessibilityTest::counters() {
    QFETCH(QList<QByteArray>, pages);
    QFETCH(QStringList, readings);

    WindowDriver driver;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString path = driver.writePage(pages[i]);
        if (i == 0)
            driver.search(path);
        else
            driver.recheck();
    }
    QStringList read;
    for (const char* counter : Counters)
        read << reading(accessible(driver.control(counter)));
    QCOMPARE(read, readings);
}

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
