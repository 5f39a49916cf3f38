#pragma once

#include <QFileIconProvider>
#include <QMimeDatabase>

// The types and icons of the files the Open dialog lists, from their names alone. The toolkit
// would read a file to guess its type, and a read of some files of /proc never returns, which
// would hang the dialog and, once it remembers that folder, every start of the program.
class NameOnlyIconProvider : public QFileIconProvider {
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    QMimeDatabase types_;
};
