// The window's commands: Search picks a page in the Open dialog, Recheck reads the same path
// again; both load the page, show it and analyse it.

#include "app/frmMetatags.h"
#include "load/page_file.h"
#include "scan/counters.h"

void frmMetatags::Form_Load() {
    cmdRecheck.SetEnabled(false);
}

void frmMetatags::cmdSearch_Click() {
    PageText = std::make_shared<const std::string>();
    txtOriginalFile.SetText(QString());
    showReading(QString());
    cmdDialog.ShowOpen();
    if (cmdDialog.FileName().isEmpty()) {
        describeCancelledSearch();
        return;
    }
    // The window comes back from the dialog, and the focus is heard again.
    SearchChosenFile(FocusHeard::Again);
}

// What Search does with the file chosen in the Open dialog, or dropped on the window.
void frmMetatags::SearchChosenFile(FocusHeard focus) {
    cmdRecheck.SetEnabled(true);
    txtHTML.SetText(cmdDialog.FileName());
    LoadPage();
    Analyse();
    describe(focus);
}

void frmMetatags::cmdRecheck_Click() {
    cmdDialog.SetFileName(txtHTML.Text());
    LoadPage();
    Analyse();
    describe(FocusHeard::Already);
}

// A page that cannot be read leaves PageText empty, so that the analysis that follows
// keeps no result of an earlier page beside the new path; the page box says why.
void frmMetatags::LoadPage() {
    // The old page need not be held while the new one is read; the page box lets go of it too,
    // which no one sees, since nothing is drawn before the load ends.
    PageText.reset();
    txtOriginalFile.SetText(QString());
    load::PageFile page = load::readPageFile(cmdDialog.FileName());
    PageText = std::move(page.text);
    if (page.error.isEmpty()) {
        txtOriginalFile.SetPage(PageText);
        showReading(load::describe(page.reading));
    } else {
        txtOriginalFile.SetText(page.error);
        showReading(QString());
    }
}

// Which encoding the page was read in, and why, for whoever wonders at its characters.
void frmMetatags::showReading(const QString& reading) {
    PageReading = reading;
    txtOriginalFile.SetToolTip(reading);
}

void frmMetatags::Analyse() {
    ScanPage();
    if (scan::leadingNumber(lblKeywordsCar.Caption().toStdString()) > 0)
        CountWords();
    else // no keywords, or empty ones: no count of an earlier page stays beside them
        lblWordsNum.SetCaption(QString());
}
