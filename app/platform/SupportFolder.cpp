// SPDX-License-Identifier: MIT
#include "platform/SupportFolder.h"

#include "platform/BundleLayout.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

QString SupportFolder::localDomainPath()
{
    const QString chosen = qEnvironmentVariable("QUILLMERE_SUPPORT_DIR");
    if (!chosen.isEmpty() && QDir::isAbsolutePath(chosen))
        return QDir::cleanPath(chosen);
    return QString::fromUtf8(kDefaultSupportFolder);
}

int SupportFolder::findFolder(QString &path)
{
    path = localDomainPath();
    // An ordinary user may not create folders under /usr/local; the installer does that as root.
    QDir().mkpath(path);
    const QFileInfo folder(path);
    if (folder.exists() && !folder.isDir())
        return ENOTDIR;
    return 0;
}
