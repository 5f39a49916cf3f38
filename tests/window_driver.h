#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTemporaryDir>

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
    void recheck();
    void typePath(const QString& path);

    // A box's text, a label's caption or a button's text, as the widget shows it.
    QString shown(const char* name) const;
    QColor textColour(const char* name) const;
    bool enabled(const char* name) const;

    // A page file in a folder of its own that lives as long as the driver.
    QString writePage(const QByteArray& bytes, const QString& fileName = "page.html");

private:
    frmMetatags* window_;
    QTemporaryDir folder_;
};
