// The window's analysis: it applies the scan rules to the page and writes what they find
// into the result fields and their counters.

#include "../app/frmMetatags.h"
#include "../app/qt_text.h"
#include "counters.h"
#include "lookups.h"

// What tells the description, keywords and robots lookups apart.
struct frmMetatags::MetaTag {
    scan::Text word;
    TextBox frmMetatags::*box;
    Label frmMetatags::*counter;
    void (frmMetatags::*before)();
    void (frmMetatags::*count)();
    Label frmMetatags::*alsoEmptied; // besides the field, when the page has no such tag
};

const frmMetatags::MetaTag frmMetatags::Description{u"description",
                                                    &frmMetatags::txtDescription,
                                                    &frmMetatags::lblDescriptionCar,
                                                    &frmMetatags::MetaDescriptionBefore,
                                                    &frmMetatags::MetaDescriptionCar,
                                                    nullptr};
const frmMetatags::MetaTag frmMetatags::Keywords{u"keywords",
                                                 &frmMetatags::txtKeywords,
                                                 &frmMetatags::lblKeywordsCar,
                                                 &frmMetatags::MetaKeywordsBefore,
                                                 &frmMetatags::MetaKeywordsCar,
                                                 &frmMetatags::lblWordsNum};
const frmMetatags::MetaTag frmMetatags::Robots{u"robots",
                                               &frmMetatags::txtRobots,
                                               &frmMetatags::lblRobotsCar,
                                               &frmMetatags::MetaRobotsBefore,
                                               &frmMetatags::MetaRobotsCar,
                                               nullptr};

void frmMetatags::ScanPage() {
    const scan::Text page = asText(PageText);
    SearchCopy = scan::lowerCopy(page);

    const scan::Found title = scan::findTitle(page, SearchCopy);
    TagStart = title.start;
    TagEnd = title.end;
    if (title.present()) {
        txtTitle.SetText(toQString(title.value));
        TitleCar = count(txtTitle, lblTitleCar, scan::TitleLimit);
    } else {
        txtTitle.SetText(QString());
        lblTitleCar.SetCaption(QString());
    }

    MetaDescriptionAfter();
    MetaKeywordsAfter();
    MetaRobotsAfter();

    nameFirstOnly(u"abstract", txtAbstract, lblAbstractCar, AbstractCar, false);
    nameFirstOnly(u"author", txtAuthor, lblAuthorCar, AuthorCar, true);
    nameFirstOnly(u"copyright", txtCopyright, lblCopyrightCar, CopyrightCar, true);

    // The copy is as large as the page; nothing needs it until the next scan.
    std::u16string().swap(SearchCopy);
}

// Abstract, author and copyright are read with the name first only; an absent tag leaves the
// stored count as it was. Author and copyright get the copyright-sign repair before they are
// shown, so that their counts are of the repaired text.
void frmMetatags::nameFirstOnly(scan::Text word, TextBox& box, Label& counter, qsizetype& stored,
                                bool repairSign) {
    const scan::Found found = scan::findNameFirst(asText(PageText), SearchCopy, word);
    TagStart = found.start;
    TagEnd = found.end;
    if (!found.present()) {
        counter.SetCaption(QString());
        box.SetText(QString());
        return;
    }
    box.SetText(toQString(repairSign ? scan::repairCopyrightSign(found.value) : found.value));
    stored = count(box, counter, std::nullopt);
}

void frmMetatags::MetaDescriptionAfter() {
    lookupAfter(Description);
}
void frmMetatags::MetaDescriptionBefore() {
    lookupBefore(Description);
}
void frmMetatags::MetaKeywordsAfter() {
    lookupAfter(Keywords);
}
void frmMetatags::MetaKeywordsBefore() {
    lookupBefore(Keywords);
}
void frmMetatags::MetaRobotsAfter() {
    lookupAfter(Robots);
}
void frmMetatags::MetaRobotsBefore() {
    lookupBefore(Robots);
}

void frmMetatags::lookupAfter(const MetaTag& tag) {
    const scan::Found found = scan::findNameFirst(asText(PageText), SearchCopy, tag.word);
    TagStart = found.start;
    TagEnd = found.end;
    if (!found.present()) {
        (this->*tag.before)();
        return;
    }
    (this->*tag.box).SetText(toQString(found.value));
    (this->*tag.count)();
}

void frmMetatags::lookupBefore(const MetaTag& tag) {
    const scan::Found found = scan::findContentFirst(asText(PageText), SearchCopy, tag.word);
    TagStart = found.start;
    TagEnd = found.end;
    if (!found.present()) {
        (this->*tag.counter).SetCaption(QString());
        (this->*tag.box).SetText(QString());
        if (tag.alsoEmptied)
            (this->*tag.alsoEmptied).SetCaption(QString());
        return;
    }
    (this->*tag.box).SetText(toQString(found.value));
    (this->*tag.count)();
}

void frmMetatags::MetaDescriptionCar() {
    DescriptionCar = count(txtDescription, lblDescriptionCar, scan::DescriptionLimit);
}

void frmMetatags::MetaKeywordsCar() {
    KeywordsCar = count(txtKeywords, lblKeywordsCar, scan::KeywordsLimit);
}

void frmMetatags::MetaRobotsCar() {
    count(txtRobots, lblRobotsCar, std::nullopt);
}

// The counter rule: what the box holds, then the limit colour where the field has a limit,
// then the caption.
qsizetype frmMetatags::count(const TextBox& box, Label& counter, std::optional<scan::Pos> limit) {
    const scan::Counter shown = scan::counterOf(asText(box.Text()), limit);
    if (shown.colour)
        counter.SetForeColor(*shown.colour);
    counter.SetCaption(toQString(shown.caption));
    return shown.count;
}

void frmMetatags::CountWords() {
    const scan::Counter shown = scan::wordCounterOf(asText(txtKeywords.Text()));
    lblWordsNum.SetCaption(toQString(shown.caption));
    lblWordsNum.SetForeColor(*shown.colour);
}
