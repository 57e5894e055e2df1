// SPDX-License-Identifier: MIT
#include "platform/Bundle.h"

#include "platform/BundleLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

Bundle::Place executablePlace = Bundle::Place::ProgramFolder;

} // namespace

void Bundle::setExecutablePlace(Place place)
{
    executablePlace = place;
}

QString Bundle::executableFolder()
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!executable.isEmpty())
        return QFileInfo(executable).absolutePath();
    return QCoreApplication::applicationDirPath();
}

QString Bundle::programFolder()
{
    if (executablePlace == Place::ToolFolder)
        return executableFolder() + u'/' + QLatin1StringView(kProgramFolderFromTools);
    return executableFolder();
}

QString Bundle::pathForTool(const QString &name)
{
    return QDir::cleanPath(programFolder() + u'/' + QLatin1StringView(kToolFolderFromExecutable) + u'/' + name);
}

QString Bundle::pathForResource(const QString &relativePath)
{
    return QDir::cleanPath(programFolder() + u'/' + QLatin1StringView(kResourceFolderFromExecutable) + u'/'
                           + relativePath);
}
