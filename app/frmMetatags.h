#pragma once

#include "app/controls.h"
#include "app/design.h"
#include "load/page_text.h"
#include "scan/analysis.h"

#include <QWidget>

#include <array>
#include <optional>

// The one window: its controls, the page and what the scan found in it, the commands, and
// the steps that move what was found into the result fields.
class frmMetatags : public QWidget {
    Q_OBJECT

public:
    frmMetatags();

protected:
    // A page file dropped on the window is searched as if chosen in the Open dialog.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
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
    static const QString NoValue;
    // A result field, named as a screen reader's user hears of it.
    struct ResultField {
        const char* name;
        TextBox frmMetatags::*box;
        Label frmMetatags::*counter;
        std::optional<scan::Pos> limit;
    };
    static const ResultField ResultFields[7];

    // Whether a screen reader speaks the control with the focus again after a command: it does
    // when the window comes back after the Open dialog.
    enum class FocusHeard { Already, Again };

    void Form_Load();
    void cmdSearch_Click();
    void SearchChosenFile(FocusHeard focus);
    void cmdRecheck_Click();
    void LoadPage();
    void showReading(const QString& reading);
    void Analyse();
    void ScanPage();
    void CountWords();

    void lookupAfter(const MetaTag& tag);
    void showMeta(const MetaTag& tag);
    void fill(const scan::Field& field, TextBox& box, Label& counter,
              std::optional<scan::Pos> limit);
    static void count(const TextBox& box, Label& counter, std::optional<scan::Pos> limit);
    void describe(FocusHeard focus);
    void describeCancelledSearch();

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
    Announcer announcer_{*this};
    // Each result box's value as the last check left it, to tell what the next one changes.
    std::array<QString, std::size(ResultFields)> values_;

    load::Page PageText = std::make_shared<const std::string>();
    QString PageReading;    // how PageText was read: "Read as UTF-8, declared by the page"
    scan::Analysis Scanned; // what the scan that runs found in PageText
};
