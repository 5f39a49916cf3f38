#include "app/name_only_icon_provider.h"

#include <QMimeType>

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
    if (info.isDir())
        return icon(Folder);
    const QMimeType type = types_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), icon(File)));
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
    if (!info.isFile()) // folders, pipes, devices: the toolkit names them without reading
        return QFileIconProvider::type(info);
    return types_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension).comment();
}
