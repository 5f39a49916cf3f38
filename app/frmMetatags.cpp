// The window, and the steps of its scan: each moves what the analysis of the page found into
// a result field, then counts what the box holds.

#include "app/frmMetatags.h"

#include "app/qt_text.h"
#include "textbox/plain_text_box_accessible.h"
#include "textbox/utf16.h"

#include <QPushButton>
#include <QStringList>

// What a result box says of itself while it holds nothing.
const QString frmMetatags::NoValue = QStringLiteral("No value");

frmMetatags::frmMetatags() {
    setAcceptDrops(true);
    connect(cmdSearch.button(), &QPushButton::clicked, this, &frmMetatags::cmdSearch_Click);
    connect(cmdRecheck.button(), &QPushButton::clicked, this, &frmMetatags::cmdRecheck_Click);
    for (const ResultField& field : ResultFields) {
        (this->*field.box).SetDescription(NoValue);
        (this->*field.box).ReadWhole();
    }
    Form_Load();
}

// What tells the description, keywords and robots steps apart.
struct frmMetatags::MetaTag {
    scan::Field scan::Analysis::*field;
    TextBox frmMetatags::*box;
    Label frmMetatags::*counter;
    void (frmMetatags::*before)();
    void (frmMetatags::*count)();
    Label frmMetatags::*alsoEmptied; // besides the field, when the page has no such tag
};

const frmMetatags::MetaTag frmMetatags::Description{
    &scan::Analysis::description,     &frmMetatags::txtDescription,
    &frmMetatags::lblDescriptionCar,  &frmMetatags::MetaDescriptionBefore,
    &frmMetatags::MetaDescriptionCar, nullptr};
const frmMetatags::MetaTag frmMetatags::Keywords{
    &scan::Analysis::keywords,        &frmMetatags::txtKeywords,     &frmMetatags::lblKeywordsCar,
    &frmMetatags::MetaKeywordsBefore, &frmMetatags::MetaKeywordsCar, &frmMetatags::lblWordsNum};
const frmMetatags::MetaTag frmMetatags::Robots{
    &scan::Analysis::robots,        &frmMetatags::txtRobots,     &frmMetatags::lblRobotsCar,
    &frmMetatags::MetaRobotsBefore, &frmMetatags::MetaRobotsCar, nullptr};

void frmMetatags::ScanPage() {
    Scanned = scan::analysePage(*PageText);
    fill(Scanned.title, txtTitle, lblTitleCar, scan::TitleLimit);
    MetaDescriptionAfter();
    MetaKeywordsAfter();
    MetaRobotsAfter();
    fill(Scanned.abstract, txtAbstract, lblAbstractCar, std::nullopt);
    fill(Scanned.author, txtAuthor, lblAuthorCar, std::nullopt);
    fill(Scanned.copyright, txtCopyright, lblCopyrightCar, std::nullopt);
    Scanned = {}; // its values view PageText, which the next load replaces
}

// Title, abstract, author and copyright. An absent tag empties its field and leaves the
// counter's colour as it was.
void frmMetatags::fill(const scan::Field& field, TextBox& box, Label& counter,
                       std::optional<scan::Pos> limit) {
    if (!field.present()) {
        box.SetText(QString());
        counter.SetCaption(QString());
        return;
    }
    box.SetText(field.shown);
    count(box, counter, limit);
}

void frmMetatags::MetaDescriptionAfter() {
    lookupAfter(Description);
}
void frmMetatags::MetaDescriptionBefore() {
    showMeta(Description);
}
void frmMetatags::MetaKeywordsAfter() {
    lookupAfter(Keywords);
}
void frmMetatags::MetaKeywordsBefore() {
    showMeta(Keywords);
}
void frmMetatags::MetaRobotsAfter() {
    lookupAfter(Robots);
}
void frmMetatags::MetaRobotsBefore() {
    showMeta(Robots);
}

void frmMetatags::lookupAfter(const MetaTag& tag) {
    if ((Scanned.*tag.field).order == scan::Order::ContentFirst)
        (this->*tag.before)();
    else
        showMeta(tag);
}

void frmMetatags::showMeta(const MetaTag& tag) {
    const scan::Field& field = Scanned.*tag.field;
    if (!field.present()) {
        (this->*tag.counter).SetCaption(QString());
        (this->*tag.box).SetText(QString());
        if (tag.alsoEmptied)
            (this->*tag.alsoEmptied).SetCaption(QString());
        return;
    }
    (this->*tag.box).SetText(field.shown);
    (this->*tag.count)();
}

void frmMetatags::MetaDescriptionCar() {
    count(txtDescription, lblDescriptionCar, scan::DescriptionLimit);
}

void frmMetatags::MetaKeywordsCar() {
    count(txtKeywords, lblKeywordsCar, scan::KeywordsLimit);
}

void frmMetatags::MetaRobotsCar() {
    count(txtRobots, lblRobotsCar, std::nullopt);
}

namespace {

// What the limit colour tells at a glance, said to a screen reader's user, who may not see it;
// nothing where the counter has no limit.
QString limitDescription(const scan::Counter& shown, std::optional<scan::Pos> limit,
                         const char* unit) {
    if (!shown.colour)
        return {};
    return QStringLiteral("%1 the limit of %2 %3")
        .arg(*shown.colour == scan::Red ? "Over" : "Within")
        .arg(*limit)
        .arg(unit);
}

struct Unit {
    const char* one;
    const char* many;
};
constexpr Unit Characters{"character", "characters"};
constexpr Unit KeywordUnits{"keyword", "keywords"};

// A counter's number and verdict as said of its box, which is what a screen reader speaks on
// the focus: "90 characters, over the limit of 70".
QString countSaid(const scan::Counter& shown, std::optional<scan::Pos> limit, Unit unit) {
    QString said = QStringLiteral("%1 %2").arg(QString::fromStdString(shown.caption),
                                               shown.caption == "1" ? unit.one : unit.many);
    if (shown.colour)
        said += QStringLiteral(", %1 the limit of %2")
                    .arg(*shown.colour == scan::Red ? "over" : "within")
                    .arg(*limit);
    return said;
}

} // namespace

// The counter rule: the length of what the box holds, then the limit colour where the field
// has a limit, then the caption.
void frmMetatags::count(const TextBox& box, Label& counter, std::optional<scan::Pos> limit) {
    const scan::Counter shown = scan::counterOf(box.Length(), limit);
    if (shown.colour)
        counter.SetForeColor(*shown.colour);
    counter.SetCaption(QString::fromStdString(shown.caption),
                       limitDescription(shown, limit, "characters"));
}

void frmMetatags::CountWords() {
    const scan::Counter shown =
        scan::wordCounterOf(scan::countWords(textbox::utf16(txtKeywords.Text())));
    lblWordsNum.SetCaption(QString::fromStdString(shown.caption),
                           limitDescription(shown, scan::WordsLimit, "keywords"));
    lblWordsNum.SetForeColor(*shown.colour);
}

const frmMetatags::ResultField frmMetatags::ResultFields[] = {
    {"title", &frmMetatags::txtTitle, &frmMetatags::lblTitleCar, scan::TitleLimit},
    {"description", &frmMetatags::txtDescription, &frmMetatags::lblDescriptionCar,
     scan::DescriptionLimit},
    {"keywords", &frmMetatags::txtKeywords, &frmMetatags::lblKeywordsCar, scan::KeywordsLimit},
    {"abstract", &frmMetatags::txtAbstract, &frmMetatags::lblAbstractCar, std::nullopt},
    {"robots", &frmMetatags::txtRobots, &frmMetatags::lblRobotsCar, std::nullopt},
    {"author", &frmMetatags::txtAuthor, &frmMetatags::lblAuthorCar, std::nullopt},
    {"copyright", &frmMetatags::txtCopyright, &frmMetatags::lblCopyrightCar, std::nullopt},
};

// What a check found, for a screen reader's user, who may not see the counters' colours: each
// result box says its count and how it stands against its limit, and the path box, the buttons
// and the page box what the check found. The same summary is announced wherever the focus is,
// then which values the check changed: each one's name, count and verdict, and the new value
// of the result box with the focus. When the window comes back after the Open dialog, the
// screen reader speaks the control with the focus and its description, which says the line
// then; what they say already is left out of it, so that each thing is heard once.
void frmMetatags::describe(FocusHeard focus) {
    const bool focusHeardAgain = focus == FocusHeard::Again;
    int found = 0;
    QStringList over;
    QStringList changed;
    QStringList emptied;
    bool anyChanged = false;
    for (std::size_t i = 0; i < std::size(ResultFields); ++i) {
        const ResultField& field = ResultFields[i];
        TextBox& box = this->*field.box;
        const scan::Counter shown = scan::counterOf(box.Length(), field.limit);
        found += !(this->*field.counter).Caption().isEmpty();
        if (shown.colour == scan::Red)
            over << QString::fromLatin1(field.name);
        QString said = box.Length() == 0 ? NoValue : countSaid(shown, field.limit, Characters);
        if (field.box == &frmMetatags::txtKeywords && !lblWordsNum.Caption().isEmpty()) {
            const scan::Counter words =
                scan::wordCounterOf(scan::leadingNumber(lblWordsNum.Caption().toStdString()));
            said += QStringLiteral("; ") + countSaid(words, scan::WordsLimit, KeywordUnits);
            if (words.colour == scan::Red)
                over << QStringLiteral("keyword count");
        }
        box.SetDescription(said);
        QString value = box.Text();
        if (value == values_[i])
            continue;
        values_[i] = value;
        anyChanged = true;
        if (box.HasFocus() && focusHeardAgain)
            continue;
        if (value.isEmpty()) {
            emptied << QString::fromLatin1(field.name);
            continue;
        }
        QString name = QString::fromLatin1(field.name);
        name[0] = name[0].toUpper();
        changed << QStringLiteral("%1, %2").arg(name, said);
        if (box.HasFocus())
            changed.back() += QStringLiteral(": ") + value.left(AccessibleTextLimit);
    }
    QString summary;
    // A page that could not be read is empty, and the page box says why.
    if (PageText->empty() && txtOriginalFile.Length() > 0)
        summary = QStringLiteral("Not read: %1").arg(txtOriginalFile.Text());
    else if (found == 0)
        summary = QStringLiteral("No tags found");
    else
        summary = QStringLiteral("%1 of %2 tags found, %3")
                      .arg(found)
                      .arg(std::size(ResultFields))
                      .arg(over.isEmpty() ? QStringLiteral("all within their limits")
                                          : QStringLiteral("over the limit: ") + over.join(", "));
    txtHTML.SetDescription(summary);
    cmdSearch.SetDescription(summary);
    cmdRecheck.SetDescription(summary);
    txtOriginalFile.SetDescription(
        PageReading.isEmpty() ? summary : QStringLiteral("%1. %2").arg(summary, PageReading));

    QStringList line;
    const bool focusSaysSummary = txtHTML.HasFocus() || cmdSearch.HasFocus() ||
                                  cmdRecheck.HasFocus() || txtOriginalFile.HasFocus();
    if (!(focusHeardAgain && focusSaysSummary))
        line << summary;
    if (!changed.isEmpty())
        line << QStringLiteral("Changed: ") + changed.join(QStringLiteral(". "));
    if (!emptied.isEmpty())
        line << QStringLiteral("Now empty: ") + emptied.join(QStringLiteral(", "));
    if (!anyChanged)
        line << QStringLiteral("Nothing changed");
    const QString news = line.join(QStringLiteral(". ")) + QLatin1Char('.');
    if (focusHeardAgain)
        announcer_.AnnounceWithFocus(news);
    else
        announcer_.Announce(news);
}

// A cancelled Search has emptied the page box and left every other box as it was.
void frmMetatags::describeCancelledSearch() {
    const QString said = QStringLiteral(
        "Search cancelled: the page box is empty, the other boxes keep their values");
    txtOriginalFile.SetDescription(said);
    announcer_.AnnounceWithFocus(said + QLatin1Char('.'));
}
