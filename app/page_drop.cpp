// A page file dropped on the window, on any of its controls, is searched as if it had been
// chosen in the Open dialog. The file is only read: the drop is a copy, never a move, so that
// the program it came from leaves it where it is.

#include "app/frmMetatags.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

namespace {

// The one file that a drag carries, or nothing: several files, a folder, or anything but a
// file of this machine is no page to search.
QString droppedPage(const QDropEvent& event) {
    const QList<QUrl> urls = event.mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile() ||
        !(event.possibleActions() & Qt::CopyAction))
        return {};
    const QString path = urls.front().toLocalFile();
    return QFileInfo(path).isDir() ? QString() : QDir::toNativeSeparators(path);
}

void takeAsCopy(QDropEvent& event) {
    if (droppedPage(event).isEmpty()) {
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
}

} // namespace

void frmMetatags::dragEnterEvent(QDragEnterEvent* event) {
    takeAsCopy(*event);
}

void frmMetatags::dragMoveEvent(QDragMoveEvent* event) {
    takeAsCopy(*event);
}

void frmMetatags::dropEvent(QDropEvent* event) {
    const QString page = droppedPage(*event);
    takeAsCopy(*event);
    if (page.isEmpty())
        return;
    cmdDialog.SetFileName(page);
    // Nothing brings the focus back after a drop: what the Search found is a notification.
    SearchChosenFile(FocusHeard::Already);
}
