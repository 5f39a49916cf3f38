#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QFileDialog;
class QWidget;
class frmMetatags;

// Drives the real window as a user would: clicks its buttons, answers its Open dialog, and
// reads what its widgets show.
class WindowDriver {
public:
    WindowDriver();
    ~WindowDriver();

    frmMetatags& window() { return *window_; }
    QWidget* control(const char* name) const;

    // Search, answering the Open dialog with `path`; an empty path cancels it.
    void search(const QString& path);
    // Answers the next Open dialog, however it is opened, and counts the dialogs answered.
    void answerOpenDialog(const QString& path);
    void onOpenDialog(const std::function<void(QFileDialog&)>& answer);
    int dialogsAnswered() const { return dialogsAnswered_; }
    void recheck();
    // Makes the window the active one again, as a window manager does when a dialog closes.
    void activate();
    void typePath(const QString& path);
    void pastePath(const QString& path);

    // A box's text, a label's caption, a button's or a frame's text, as the widget shows it.
    QString shown(const char* name) const;
    QColor textColour(const char* name) const;
    bool enabled(const char* name) const;

    QString folder() const { return folder_.path(); }
    // A page file in a folder of its own that lives as long as the driver.
    QString writePage(const QByteArray& bytes, const QString& fileName = "page.html");

private:
    frmMetatags* window_;
    int dialogsAnswered_ = 0;
    QTemporaryDir folder_;
};
