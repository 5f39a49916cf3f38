#pragma once

#include <QFileDialog>

// The Open dialog of the window's design: the toolkit's file dialog, with what it takes for a
// name typed into its file-name box, and for the window to come back, to work every time.
class OpenDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override;
};
