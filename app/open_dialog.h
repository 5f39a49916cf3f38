#pragma once

#include <QFileDialog>

// The Open dialog of the window's design: the toolkit's file dialog, with what it takes for a
// typed path, and for the window to come back after it, to work every time.
class OpenDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override;
};
