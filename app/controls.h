#pragma once

#include "app/name_only_icon_provider.h"
#include "load/page_text.h"
#include "scan/counters.h"
#include "textbox/plain_text_box.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <string_view>

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The window's controls as its logic uses them, over the Qt widgets of the window's design,
// which each control finds by its name.

// A text box reads back exactly what was written into it or typed, every character counted as
// the counters count it: a CR LF counts two.
class TextBox {
public:
    TextBox(QWidget& window, const char* name);

    QString Text() const;
    qsizetype Length() const;
    void SetText(const QString& text);
    // A value of the page text.
    void SetText(std::string_view pageText);
    // The whole page, shown without a copy of it.
    void SetPage(const load::Page& page);
    // What the box says when the pointer rests on it.
    void SetToolTip(const QString& tip);
    // What a screen reader says of the box after its name and value.
    void SetDescription(const QString& description);
    // A screen reader reads the whole value where it reads the line at the caret, so that a
    // value that the page writes over several lines is heard whole on the focus.
    void ReadWhole();
    // The focus is in the box, or goes back to it when the window is active again.
    bool HasFocus() const;

private:
    PlainTextBox* box_ = nullptr;
    QLineEdit* path_ = nullptr; // the path box
};

// A counter: a label that the window's steps write, named for what it counts.
class Label {
public:
    Label(QWidget& window, const char* name);

    QString Caption() const;
    // The description is what a screen reader says of the caption besides its number; a new
    // caption drops the description of the one before.
    void SetCaption(const QString& caption, const QString& description = QString());
    void SetForeColor(scan::Rgb colour);

private:
    QLabel* label_;
};

class CommandButton {
public:
    CommandButton(QWidget& window, const char* name);

    void SetEnabled(bool enabled);
    void SetDescription(const QString& description);
    bool HasFocus() const; // as a text box's

    QPushButton* button() const { return button_; }

private:
    QPushButton* button_;
};

// A line said to a screen reader's user wherever the focus is, as the outcome of a command. Qt
// 6.4 tells a screen reader of no new text or description that it speaks unasked, but a
// notification that shows is spoken, and so is the description of the control that takes the
// focus.
class Announcer : public QObject {
public:
    explicit Announcer(QWidget& window);

    // Said at once: the window keeps a notification, which has no size and so never shows on
    // screen, and shows it afresh with each line.
    void Announce(const QString& line);
    // Said with the control that has the focus when the window comes back after the Open
    // dialog, after that control's own description, for as long as it keeps the focus. A
    // screen reader always speaks the focus then, but drops a notification that comes while it
    // is still busy with what was typed into the dialog (Orca does, with a hundred events to
    // go), and a notification said before the focus would be cut short by the dialog's going.
    void AnnounceWithFocus(const QString& line);

private:
    void takeBack();

    QWidget* window_;
    QWidget* notice_;
    // The control that says the last line with its description, the description it had, and
    // the one it has with the line.
    QPointer<QWidget> told_;
    QString description_;
    QString toldDescription_;
};

// The Open dialog of the window's design; FileName is empty when it was cancelled.
class CommonDialog {
public:
    CommonDialog(QWidget& window, const char* name);
    ~CommonDialog();
    CommonDialog(const CommonDialog&) = delete;
    CommonDialog& operator=(const CommonDialog&) = delete;

    void ShowOpen();
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }

private:
    QFileDialog* dialog_;
    QString fileName_;
    NameOnlyIconProvider icons_;
};
