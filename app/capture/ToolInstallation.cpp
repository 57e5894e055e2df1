// SPDX-License-Identifier: MIT
#include "capture/ToolInstallation.h"

#include "platform/Bundle.h"
#include "platform/Elevation.h"
#include "platform/SupportFolder.h"
#include "platform/SystemLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <memory>
#include <sys/stat.h>

namespace {
constexpr char kToolName[] = "Netsiphon";
constexpr char kInstallerName[] = "Rootmantle";
constexpr char kToolFolderName[] = "Quillmere";

void logInstallFailure(const QString &message)
{
    systemLog(QStringLiteral("%1:%2: %3")
                  .arg(QLatin1StringView(ToolInstallation::kMethodName))
                  .arg(ToolInstallation::kInstallLine)
                  .arg(message));
}

// A file that cannot be read has no digest, so it never matches.
QByteArray digestOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return md5Hash(file.readAll());
}

bool isRootOwnedSetuid(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid == 0
        && (status.st_mode & S_ISUID) != 0;
}
} // namespace

bool RecursiveCreateDirectories(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !path.isEmpty() && path != QLatin1StringView("/"))
        RecursiveCreateDirectories(info.absolutePath());
    return QDir().mkdir(path);
}

QByteArray md5Hash(QByteArrayView data)
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (EVP_Digest(data.data(), static_cast<std::size_t>(data.size()),
                   reinterpret_cast<unsigned char *>(digest.data()), &length, EVP_md5(), nullptr) != 1)
        return {};
    digest.resize(static_cast<qsizetype>(length));
    return digest;
}

ToolInstallation::ToolInstallation(Elevation &elevation)
    : m_elevation(elevation)
{
}

QString ToolInstallation::toolPath()
{
    QString supportFolder;
    if (const int error = SupportFolder::findFolder(supportFolder); error != 0) {
        systemLog(QStringLiteral("FSFindFolder() returned error %1").arg(error));
        return {};
    }
    const QString toolFolder = supportFolder + u'/' + QLatin1StringView(kToolFolderName);
    RecursiveCreateDirectories(toolFolder);
    return toolFolder + u'/' + QLatin1StringView(kToolName);
}

QString ToolInstallation::bundledToolPath()
{
    return Bundle::pathForTool(QLatin1StringView(kToolName));
}

bool ToolInstallation::isCurrent(const QString &installedPath, const QString &bundledPath)
{
    if (!isRootOwnedSetuid(installedPath))
        return false;
    const QByteArray bundled = digestOfFile(bundledPath);
    return !bundled.isEmpty() && bundled == digestOfFile(installedPath);
}

bool ToolInstallation::ensureCurrent()
{
    m_failureText.clear();
    const QString installed = toolPath();
    if (installed.isNull())
        return fail({}, tr("The folder for the capture tool could not be found."));
    const QString bundled = bundledToolPath();
    if (!QFileInfo(bundled).isFile())
        return fail(QStringLiteral("The capture tool is missing from the application at %1").arg(bundled),
                    tr("The capture tool is missing from the application (%1).").arg(bundled));
    if (isCurrent(installed, bundled))
        return true;
    return install(installed, bundled);
}

bool ToolInstallation::install(const QString &installedPath, const QString &bundledPath)
{
    QFile::remove(installedPath);
    const QString installer = Bundle::pathForTool(QLatin1StringView(kInstallerName));
    if (!QFileInfo(installer).isFile())
        return fail(QStringLiteral("The installer is missing from the application at %1").arg(installer),
                    tr("The installer of the capture tool is missing from the application (%1).").arg(installer));
    const QString toolFolder = QFileInfo(installedPath).absolutePath();
    const Elevation::Result result = m_elevation.runAsRoot(installer, {bundledPath, toolFolder});
    switch (result.outcome) {
    case Elevation::Outcome::NoWayToBecomeRoot:
        logInstallFailure(QStringLiteral("Couldn't create AuthorizationRef"));
        return fail({}, tr("Installing the capture tool needs an administrator's approval, and there is no way to "
                           "ask for it here. Run Quillmere once as root, or start a polkit agent (for example "
                           "pkttyagent) and try again."));
    case Elevation::Outcome::Dismissed:
        logInstallFailure(QStringLiteral("Couldn't authorize helper program."));
        return fail({}, {});
    case Elevation::Outcome::NotAuthorized:
        logInstallFailure(QStringLiteral("Couldn't authorize helper program."));
        return fail({}, tr("Installing the capture tool was not authorized."));
    case Elevation::Outcome::CouldNotStart:
        logInstallFailure(QStringLiteral("couldn't execute Rootmantle tool"));
        return fail({}, tr("The installer of the capture tool could not be started."));
    case Elevation::Outcome::Finished:
        break;
    }
    if (isCurrent(installedPath, bundledPath))
        return true;
    return fail(QStringLiteral("The capture tool at %1 is not current after installing it (installer status %2)")
                    .arg(installedPath)
                    .arg(result.exitStatus),
                tr("The capture tool could not be installed at %1.").arg(installedPath));
}

bool ToolInstallation::fail(const QString &logged, const QString &forPerson)
{
    if (!logged.isEmpty())
        systemLog(logged);
    m_failureText = forPerson;
    return false;
}
