#include "app/open_dialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QItemSelectionModel>
#include <QLineEdit>

void OpenDialog::accept() {
    // The list that completes a typed name is still open when Return accepts it, and holds the
    // keyboard. Closed only after the dialog, it would leave the window behind the dialog
    // inactive: the toolkit ignores the window's activation while such a list is open. It would
    // also take the keys of the "File not found" message this accept may show.
    for (auto* completer : findChildren<QCompleter*>())
        completer->popup()->hide();
    // A typed name is the choice. Typing a path can leave the folder of that path selected in
    // the list (the toolkit deselects an earlier match only while the name box has the focus,
    // which the completion list takes), and the dialog would open that folder instead.
    auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* files = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (name && !name->text().isEmpty() && files && files->selectionModel())
        files->selectionModel()->clearSelection();
    QFileDialog::accept();
}
