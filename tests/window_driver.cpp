#include "tests/window_driver.h"

#include "app/frmMetatags.h"
#include "textbox/plain_text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Waits for the Open dialog to come up inside the command, then answers it.
void WindowDriver::onOpenDialog(const std::function<void(QFileDialog&)>& answer) {
    auto* attempt = new QTimer;
    QObject::connect(attempt, &QTimer::timeout, attempt, [this, attempt, answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        // A user types into the dialog once it is active; before that, the dialog would take
        // the file that the typed path selects in its list and name it relative to the folder
        // it shows, which may be another one.
        if (!dialog->isActiveWindow()) {
            dialog->activateWindow();
            return;
        }
        attempt->deleteLater();
        attempt->stop();
        ++dialogsAnswered_;
        answer(*dialog);
    });
    attempt->start(10);
}

// Types the path and presses Enter, or presses Escape.
void WindowDriver::answerOpenDialog(const QString& path) {
    onOpenDialog([path](QFileDialog& dialog) {
        if (path.isEmpty()) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            return;
        }
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->setFocus();
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

WindowDriver::WindowDriver() : window_(new frmMetatags) {
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_))
        qFatal("the window was not shown");
}

WindowDriver::~WindowDriver() {
    delete window_;
}

QWidget* WindowDriver::control(const char* name) const {
    auto* widget = window_->findChild<QWidget*>(QLatin1String(name));
    Q_ASSERT_X(widget, name, "no such control");
    return widget;
}

void WindowDriver::search(const QString& path) {
    answerOpenDialog(path);
    QTest::mouseClick(control("cmdSearch"), Qt::LeftButton);
    activate();
}

void WindowDriver::activate() {
    QApplication::setActiveWindow(window_);
    if (!QTest::qWaitForWindowActive(window_))
        qFatal("the window did not become active");
    QCoreApplication::processEvents(); // what the window does once it is active again
}

void WindowDriver::recheck() {
    QTest::mouseClick(control("cmdRecheck"), Qt::LeftButton);
}

void WindowDriver::typePath(const QString& path) {
    auto* box = qobject_cast<QLineEdit*>(control("txtHTML"));
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, path);
}

// Characters that no key types, a NUL or a line break, come by the clipboard.
void WindowDriver::pastePath(const QString& path) {
    auto* box = qobject_cast<QLineEdit*>(control("txtHTML"));
    box->setFocus();
    box->selectAll();
    QApplication::clipboard()->setText(path);
    QTest::keySequence(box, QKeySequence::Paste);
}

QString WindowDriver::shown(const char* name) const {
    QWidget* widget = control(name);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        return line->text();
    if (auto* box = qobject_cast<PlainTextBox*>(widget))
        return box->toPlainText();
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        return frame->title();
    return qobject_cast<QPushButton*>(widget)->text();
}

QColor WindowDriver::textColour(const char* name) const {
    return control(name)->palette().color(QPalette::WindowText);
}

bool WindowDriver::enabled(const char* name) const {
    return control(name)->isEnabled();
}

QString WindowDriver::writePage(const QByteArray& bytes, const QString& fileName) {
    const QString path = folder_.filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test page %s", qPrintable(path));
    return path;
}
