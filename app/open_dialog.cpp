#include "app/open_dialog.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileInfo>
#include <QLineEdit>

void OpenDialog::accept() {
    // The list that completes a typed name is still open when Return accepts the name, and
    // holds the keyboard. Closed only after the dialog, it would leave the window behind the
    // dialog inactive: the toolkit ignores the window's activation while such a list is open.
    // It would also keep the keys from the "File not found" message this may show.
    for (auto* completer : findChildren<QCompleter*>())
        completer->popup()->hide();
    // A name that is a file is the choice. Typing a path can leave the folders it runs through
    // selected in the file list beside the file (the toolkit deselects an earlier match only
    // while the file-name box has the focus, which the completion list takes), and the dialog
    // would open the first of them instead.
    const auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (const QFileInfo named(directory(), name ? name->text() : QString()); named.isFile())
        selectFile(named.absoluteFilePath());
    QFileDialog::accept();
}
