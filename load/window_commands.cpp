// The window's commands: Search picks a page in the Open dialog, Recheck reads the same path
// again; both load the page, show it and analyse it.

#include "../app/frmMetatags.h"
#include "../app/qt_text.h"
#include "../scan/counters.h"
#include "page_file.h"

void frmMetatags::Form_Load() {
    cmdRecheck.SetEnabled(false);
}

void frmMetatags::cmdSearch_Click() {
    PageText.clear();
    txtOriginalFile.SetText(QString());
    cmdDialog.ShowOpen();
    if (cmdDialog.FileName().isEmpty())
        return;
    cmdRecheck.SetEnabled(true);
    txtHTML.SetText(cmdDialog.FileName());
    LoadPage();
    Analyse();
}

void frmMetatags::cmdRecheck_Click() {
    cmdDialog.SetFileName(txtHTML.Text());
    LoadPage();
    Analyse();
}

// A page that cannot be read leaves PageText empty, so that the analysis that follows
// keeps no result of an earlier page beside the new path; the page box says why.
void frmMetatags::LoadPage() {
    PageText.clear(); // the old page need not be held while the new one is read
    load::PageFile page = load::readPageFile(cmdDialog.FileName());
    PageText = std::move(page.text);
    txtOriginalFile.SetText(page.error.isEmpty() ? PageText : page.error);
}

void frmMetatags::Analyse() {
    ScanPage();
    if (scan::leadingNumber(asText(lblKeywordsCar.Caption())) > 0)
        CountWords();
    else // no keywords, or empty ones: no count of an earlier page stays beside them
        lblWordsNum.SetCaption(QString());
}
