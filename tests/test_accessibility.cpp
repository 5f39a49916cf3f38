#include "app/frmMetatags.h"
#include "tests/window_driver.h"

#include <QAccessible>
#include <QFile>
#include <QMetaEnum>
#include <QPushButton>
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

const char* const ResultBoxes[] = {"txtTitle",  "txtDescription", "txtKeywords", "txtAbstract",
                                   "txtRobots", "txtAuthor",      "txtCopyright"};

// How the last page of a row is checked.
enum class Check { Recheck, Search, CancelledSearch };

// The line last announced wherever the focus is: the name of the window's notification.
QString announced(QWidget& window) {
    QAccessibleInterface* interface = accessible(&window);
    for (int i = 0; i < interface->childCount(); ++i)
        if (interface->child(i)->role() == QAccessible::Notification)
            return interface->child(i)->text(QAccessible::Name);
    return QStringLiteral("(no notification)");
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
    void boxesSayWhatTheirCountersShow_data();
    void boxesSayWhatTheirCountersShow();
    void linesAreReadWhole_data();
    void linesAreReadWhole();
    void charactersAreWhereTheyAreDrawn();
    void altWithALetterTypesNothing_data();
    void altWithALetterTypesNothing();
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
    box("txtOriginalFile", "Page", "");
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

// Pages in turn, as in counters(), the last one checked as `last` says with the focus in
// `focus`; then the descriptions of the seven result boxes, that of the path box (the same as
// the buttons'), that of the page box, and the line said: announced after a Recheck, the
// focused control's description after a Search.
void AccessibilityTest::boxesSayWhatTheirCountersShow_data() {
    QTest::addColumn<QList<QByteArray>>("pages");
    QTest::addColumn<Check>("last");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("said");

    const QString noValue = QStringLiteral("No value");
    const QStringList overBoxes{
        "71 characters, over the limit of 70",
        "161 characters, over the limit of 160",
        "100 characters, within the limit of 260; 16 keywords, over the limit of 15",
        "6 characters",
        "7 characters",
        "3 characters",
        "8 characters"};
    const QStringList withinBoxes{
        "70 characters, within the limit of 70",
        "160 characters, within the limit of 160",
        "260 characters, within the limit of 260; 15 keywords, within the limit of 15",
        "6 characters",
        "7 characters",
        "3 characters",
        "8 characters"};
    const QString overSummary =
        QStringLiteral("7 of 7 tags found, over the limit: title, description, keyword count");
    const QString withinSummary = QStringLiteral("7 of 7 tags found, all within their limits");
    // What changes from a page over the limits to one at the limits.
    const QString title = QStringLiteral("Title, 70 characters, within the limit of 70");
    const QString description =
        QStringLiteral("Description, 160 characters, within the limit of 160");
    const QString keywordsSaid = QStringLiteral(
        "Keywords, 260 characters, within the limit of 260; 15 keywords, within the limit of 15");
    const QByteArray over = page(71, 161, keywords(16, 100));
    const QByteArray within = page(70, 160, keywords(15, 260));
    const auto boxesAnd = [](QStringList boxes, const QStringList& more) { return boxes << more; };
    const QStringList noValues(std::size(ResultBoxes), noValue);
    // The page box says after the summary how the page, ASCII, was read.
    const QString readAs = QStringLiteral(". Read as UTF-8: the bytes are valid UTF-8");

    QTest::newRow("at start") << QList<QByteArray>{} << Check::Recheck << "txtHTML"
                              << boxesAnd(noValues, {"", "", ""});
    QTest::newRow("rechecked unchanged, the focus in the title")
        << QList<QByteArray>{over, over} << Check::Recheck << "txtTitle"
        << boxesAnd(overBoxes,
                    {overSummary, overSummary + readAs, overSummary + ". Nothing changed."});
    QTest::newRow("rechecked from the path box")
        << QList<QByteArray>{over, within} << Check::Recheck << "txtHTML"
        << boxesAnd(withinBoxes, {withinSummary, withinSummary + readAs,
                                  withinSummary + ". Changed: " + title + ". " + description +
                                      ". " + keywordsSaid + "."});
    // The box with the focus says its new value too.
    QTest::newRow("rechecked, the focus in the keywords")
        << QList<QByteArray>{page(1, 1, keywords(2, 3)), page(1, 1, keywords(1, 1))}
        << Check::Recheck << "txtKeywords"
        << QStringList{"1 character, within the limit of 70",
                       "1 character, within the limit of 160",
                       "1 character, within the limit of 260; 1 keyword, within the limit of 15",
                       "6 characters",
                       "7 characters",
                       "3 characters",
                       "8 characters",
                       withinSummary,
                       withinSummary + readAs,
                       withinSummary + ". Changed: Keywords, 1 character, within the limit of "
                                       "260; 1 keyword, within the limit of 15: k."};
    QTest::newRow("tags gone, the focus in the page box")
        << QList<QByteArray>{over, "<html><body>Text</body></html>"} << Check::Recheck
        << "txtOriginalFile"
        << boxesAnd(noValues, {"No tags found", "No tags found" + readAs,
                               "No tags found. Now empty: title, description, keywords, abstract, "
                               "robots, author, copyright."});
    QTest::newRow("keywords emptied")
        << QList<QByteArray>{meta("keywords", "k"), meta("keywords", "")} << Check::Recheck
        << "txtKeywords"
        << boxesAnd(noValues, {"1 of 7 tags found, all within their limits",
                               "1 of 7 tags found, all within their limits" + readAs,
                               "1 of 7 tags found, all within their limits. Now empty: keywords."});
    QTest::newRow("the file gone")
        << QList<QByteArray>{over, QByteArray()} << Check::Recheck << "cmdRecheck"
        << boxesAnd(noValues,
                    {"Not read: Cannot open \"%path\": No such file or directory",
                     "Not read: Cannot open \"%path\": No such file or directory",
                     "Not read: Cannot open \"%path\": No such file or directory. Now empty: "
                     "title, description, keywords, abstract, robots, author, copyright."});
    // When the window comes back after the Open dialog, a screen reader speaks the control
    // with the focus and its description: the line is said there, after that description,
    // and leaves out what the description says already.
    const QString cancelled = QStringLiteral(
        "Search cancelled: the page box is empty, the other boxes keep their values");
    QTest::newRow("searched, the focus in the title")
        << QList<QByteArray>{over, within} << Check::Search << "txtTitle"
        << boxesAnd(withinBoxes, {withinSummary, withinSummary + readAs,
                                  withinBoxes[0] + ". " + withinSummary +
                                      ". Changed: " + description + ". " + keywordsSaid + "."});
    QTest::newRow("searched, the focus on Search")
        << QList<QByteArray>{over, within} << Check::Search << "cmdSearch"
        << boxesAnd(withinBoxes, {withinSummary, withinSummary + readAs,
                                  withinSummary + ". Changed: " + title + ". " + description +
                                      ". " + keywordsSaid + "."});
    QTest::newRow("searched, only the value with the focus changed")
        << QList<QByteArray>{within, page(69, 160, keywords(15, 260))} << Check::Search
        << "txtTitle"
        << boxesAnd(QStringList(withinBoxes).replaceInStrings("70 characters,", "69 characters,"),
                    {withinSummary, withinSummary + readAs,
                     "69 characters, within the limit of 70. " + withinSummary + "."});
    QTest::newRow("searched again, the focus in the page box")
        << QList<QByteArray>{over, over} << Check::Search << "txtOriginalFile"
        << boxesAnd(overBoxes, {overSummary, overSummary + readAs,
                                overSummary + readAs + ". Nothing changed."});
    QTest::newRow("a Search cancelled, the focus in the title")
        << QList<QByteArray>{over, over} << Check::CancelledSearch << "txtTitle"
        << boxesAnd(overBoxes, {overSummary, cancelled, overBoxes[0] + ". " + cancelled + "."});
    QTest::newRow("a Search cancelled, the focus in the page box")
        << QList<QByteArray>{over, over} << Check::CancelledSearch << "txtOriginalFile"
        << boxesAnd(overBoxes, {overSummary, cancelled, cancelled});
}

void AccessibilityTest::boxesSayWhatTheirCountersShow() {
    QFETCH(QList<QByteArray>, pages);
    QFETCH(Check, last);
    QFETCH(QString, focus);
    QFETCH(QStringList, said);

    WindowDriver driver;
    QString path;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        path = driver.writePage(pages[i]);
        if (pages[i].isNull())
            QFile::remove(path);
        if (i == 0) {
            driver.search(path);
            continue;
        }
        // Clicked as its access key clicks it, the focus staying where it is.
        driver.control(focus.toLatin1())->setFocus();
        if (last == Check::Recheck) {
            qobject_cast<QPushButton*>(driver.control("cmdRecheck"))->click();
            continue;
        }
        driver.answerOpenDialog(last == Check::Search ? path : QString());
        qobject_cast<QPushButton*>(driver.control("cmdSearch"))->click();
        driver.activate();
    }
    said.replaceInStrings(QStringLiteral("%path"), path);
    const auto description = [&driver](const char* control) {
        return accessible(driver.control(control))->text(QAccessible::Description);
    };
    // After the dialog the line goes with the focus, until the focus moves on.
    QString line;
    if (pages.size() > 1 && last != Check::Recheck) {
        line = description(focus.toLatin1());
        driver.control("Picture1")->setFocus();
    } else if (!pages.isEmpty()) {
        line = announced(driver.window());
    }
    QStringList read;
    for (const char* box : ResultBoxes)
        read << description(box);
    const QString summary = description("txtHTML");
    for (const char* control : {"cmdSearch", "cmdRecheck"})
        QCOMPARE(description(control), summary);
    read << summary << description("txtOriginalFile") << line;
    QCOMPARE(read, said);
}

// What a screen reader speaks of a text where the caret is, after a Search of a page whose
// description is written over three lines: the line at an offset, read whole in a result box,
// and the run of attributes the line is spoken in, which must hold its last character.
void AccessibilityTest::linesAreReadWhole_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("line");

    const QString description = QStringLiteral("Fresh bread\r\ncakes\r\ncoffee");
    QTest::newRow("a result box, at the start of a value of three lines")
        << "txtDescription" << 0 << description;
    QTest::newRow("a result box, in the second line") << "txtDescription" << 15 << description;
    QTest::newRow("a result box, at the end") << "txtDescription" << 26 << description;
    QTest::newRow("the page box, its first line") << "txtOriginalFile" << 3 << "<html><head>\r\n";
    QTest::newRow("the path box") << "txtHTML" << 3 << "%path";
    QTest::newRow("a counter") << "lblDescriptionCar" << 1 << "26";
}

void AccessibilityTest::linesAreReadWhole() {
    QFETCH(QString, control);
    QFETCH(int, offset);
    QFETCH(QString, line);

    WindowDriver driver;
    const QString path = driver.writePage(
        "<html><head>\r\n" + meta("description", "Fresh bread\r\ncakes\r\ncoffee") + "</head>");
    driver.search(path);
    line.replace(QStringLiteral("%path"), path);
    QAccessibleTextInterface* text =
        accessible(driver.control(control.toLatin1()))->textInterface();
    int start = -1, end = -1;
    QCOMPARE(text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end), line);
    text->attributes(offset, &start, &end);
    QCOMPARE(QList<int>({start, end}), QList<int>({0, text->characterCount()}));
}

// A screen reader's review of the screen reads the text it finds where it is drawn: the
// counters' digits and the path.
void AccessibilityTest::charactersAreWhereTheyAreDrawn() {
    WindowDriver driver;
    driver.search(driver.writePage(page(71, 161, keywords(16, 100))));
    QList<const char*> controls(std::begin(Counters), std::end(Counters));
    controls << "txtHTML";
    for (const char* control : controls) {
        QWidget* widget = driver.control(control);
        QAccessibleTextInterface* text = accessible(widget)->textInterface();
        const QRect shown(widget->mapToGlobal(QPoint()), widget->size());
        QVERIFY(text->characterCount() > 0);
        for (int i = 0; i < text->characterCount(); ++i) {
            const QRect character = text->characterRect(i);
            QVERIFY2(!character.isEmpty() && shown.contains(character), control);
            // Nearer its left edge than its right, where no reading can round to the next one.
            const QPoint inside(character.left() + character.width() / 4, character.center().y());
            QCOMPARE(text->offsetAtPoint(inside), i);
        }
    }
}

void AccessibilityTest::altWithALetterTypesNothing_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<char>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("typed");

    for (const char* control : {"txtHTML", "txtTitle", "txtOriginalFile"}) {
        const auto row = [&](const char* keys, char key, Qt::KeyboardModifiers modifiers,
                             const char* typed) {
            QTest::addRow("%s, %s", control, keys) << control << key << modifiers << typed;
        };
        row("Alt+R while Recheck is disabled", 'r', Qt::AltModifier, "");
        row("Alt+X", 'x', Qt::AltModifier, "");
        row("Alt+Shift+X", 'X', Qt::AltModifier | Qt::ShiftModifier, "");
        row("AltGr+Q on German keys", '@', Qt::GroupSwitchModifier, "@");
        row("x", 'x', Qt::NoModifier, "x");
    }
}

void AccessibilityTest::altWithALetterTypesNothing() {
    QFETCH(QString, control);
    QFETCH(char, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, typed);

    WindowDriver driver;
    const QString before = driver.shown(control.toLatin1());
    QWidget* box = driver.control(control.toLatin1());
    box->setFocus();
    QTest::keyClick(box, key, modifiers);
    QCOMPARE(driver.shown(control.toLatin1()), before + typed);
    QVERIFY(!driver.enabled("cmdRecheck"));
}

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
