#pragma once

#include "controls.h"
#include "design.h"

#include <QWidget>

#include <optional>
#include <string>

// The one window: its controls, the page and the positions and counts that the analysis
// shares, the commands, and the analysis that fills the result fields.
class frmMetatags : public QWidget {
    Q_OBJECT

public:
    frmMetatags();

    // Description, keywords and robots: the name-first lookup hands over to its
    // content-first twin when the page has no name-first tag.
    void MetaDescriptionAfter();
    void MetaDescriptionBefore();
    void MetaKeywordsAfter();
    void MetaKeywordsBefore();
    void MetaRobotsAfter();
    void MetaRobotsBefore();

    void MetaDescriptionCar();
    void MetaKeywordsCar();
    void MetaRobotsCar();

private:
    struct MetaTag;
    static const MetaTag Description, Keywords, Robots;

    void Form_Load();
    void cmdSearch_Click();
    void cmdRecheck_Click();
    void LoadPage();
    void Analyse();
    void ScanPage();
    void CountWords();

    void lookupAfter(const MetaTag& tag);
    void lookupBefore(const MetaTag& tag);
    void nameFirstOnly(scan::Text word, TextBox& box, Label& counter, qsizetype& stored,
                       bool repairSign);
    static qsizetype count(const TextBox& box, Label& counter, std::optional<scan::Pos> limit);

    // The widgets exist before the controls below find them by name.
    struct Design {
        explicit Design(QWidget& window) { design::build(window); }
    } design_{*this};

    TextBox txtHTML{*this, "txtHTML"};
    CommandButton cmdSearch{*this, "cmdSearch"};
    CommandButton cmdRecheck{*this, "cmdRecheck"};
    CommonDialog cmdDialog{*this, "cmdDialog"};
    TextBox txtTitle{*this, "txtTitle"};
    Label lblTitleCar{*this, "lblTitleCar"};
    TextBox txtDescription{*this, "txtDescription"};
    Label lblDescriptionCar{*this, "lblDescriptionCar"};
    TextBox txtKeywords{*this, "txtKeywords"};
    Label lblKeywordsCar{*this, "lblKeywordsCar"};
    Label lblWordsNum{*this, "lblWordsNum"};
    TextBox txtAbstract{*this, "txtAbstract"};
    Label lblAbstractCar{*this, "lblAbstractCar"};
    TextBox txtRobots{*this, "txtRobots"};
    Label lblRobotsCar{*this, "lblRobotsCar"};
    TextBox txtAuthor{*this, "txtAuthor"};
    Label lblAuthorCar{*this, "lblAuthorCar"};
    TextBox txtCopyright{*this, "txtCopyright"};
    Label lblCopyrightCar{*this, "lblCopyrightCar"};
    TextBox txtOriginalFile{*this, "txtOriginalFile"};

    QString PageText;
    std::u16string SearchCopy; // PageText lower-cased, made once per scan
    // Counts and positions are their true numbers, however long the page.
    qsizetype TitleCar = 0;
    qsizetype DescriptionCar = 0;
    qsizetype KeywordsCar = 0;
    qsizetype AbstractCar = 0;
    qsizetype AuthorCar = 0;
    qsizetype CopyrightCar = 0;
    scan::Pos TagStart = 0;
    scan::Pos TagEnd = 0;
};
