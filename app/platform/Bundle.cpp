// SPDX-License-Identifier: MIT
#include "platform/Bundle.h"

#include "platform/BundleLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString Bundle::executableFolder()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!executable.isEmpty())
        return QFileInfo(executable).absolutePath();
    return QCoreApplication::applicationDirPath();
}

QString Bundle::pathForTool(const QString &name)
{
    return QDir::cleanPath(executableFolder() + u'/' + QLatin1StringView(kToolFolderFromExecutable) + u'/' + name);
}

QString Bundle::pathForResource(const QString &relativePath)
{
    return QDir::cleanPath(executableFolder() + u'/' + QLatin1StringView(kResourceFolderFromExecutable) + u'/'
                           + relativePath);
}
