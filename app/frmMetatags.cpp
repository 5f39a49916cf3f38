// The window, and the steps of its scan: each moves what the analysis of the page found into
// a result field, then counts what the box holds.

#include "app/frmMetatags.h"

#include "app/qt_text.h"
#include "textbox/utf16.h"

#include <QPushButton>

// What a result box says of itself while it holds nothing.
const QString frmMetatags::NoValue = QStringLiteral("No value");

frmMetatags::frmMetatags() {
    connect(cmdSearch.button(), &QPushButton::clicked, this, &frmMetatags::cmdSearch_Click);
    connect(cmdRecheck.button(), &QPushButton::clicked, this, &frmMetatags::cmdRecheck_Click);
    for (TextBox* box : {&txtTitle, &txtDescription, &txtKeywords, &txtAbstract, &txtRobots,
                         &txtAuthor, &txtCopyright})
        box->SetDescription(NoValue);
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
        empty(box, counter);
        return;
    }
    box.SetText(field.shown);
    count(box, counter, limit);
}

// A field whose tag the page lacks: nothing in the box, nothing in its counter.
void frmMetatags::empty(TextBox& box, Label& counter) {
    box.SetText(QString());
    counter.SetCaption(QString());
    box.SetDescription(NoValue);
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
        empty(this->*tag.box, this->*tag.counter);
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
// has a limit, then the caption. The box says the same.
void frmMetatags::count(TextBox& box, Label& counter, std::optional<scan::Pos> limit) {
    const scan::Counter shown = scan::counterOf(box.Length(), limit);
    if (shown.colour)
        counter.SetForeColor(*shown.colour);
    counter.SetCaption(QString::fromStdString(shown.caption),
                       limitDescription(shown, limit, "characters"));
    box.SetDescription(box.Length() == 0 ? NoValue : countSaid(shown, limit, Characters));
}

void frmMetatags::CountWords() {
    const scan::Counter shown =
        scan::wordCounterOf(scan::countWords(textbox::utf16(txtKeywords.Text())));
    lblWordsNum.SetCaption(QString::fromStdString(shown.caption),
                           limitDescription(shown, scan::WordsLimit, "keywords"));
    lblWordsNum.SetForeColor(*shown.colour);
    const scan::Counter characters = scan::counterOf(txtKeywords.Length(), scan::KeywordsLimit);
    txtKeywords.SetDescription(countSaid(characters, scan::KeywordsLimit, Characters) +
                               QStringLiteral("; ") +
                               countSaid(shown, scan::WordsLimit, KeywordUnits));
}
