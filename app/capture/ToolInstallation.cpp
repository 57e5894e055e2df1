// SPDX-License-Identifier: MIT
#include "capture/ToolInstallation.h"

#include "platform/Bundle.h"
#include "platform/CurrentUser.h"
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

QString notAllowedText(gid_t group)
{
    return ToolInstallation::tr("%1 may not capture network traffic on this computer: the capture tool is only for the "
                                "people an administrator allowed. An administrator can allow %1 by approving "
                                "Quillmere's request, or with the command \"adduser %1 %2\" (which takes effect at "
                                "the next login).")
        .arg(CurrentUser::name(), CurrentUser::groupName(group));
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
    if (EVP_Digest(data.data(), static_cast<std::size_t>(data.size()), reinterpret_cast<unsigned char *>(digest.data()),
                   &length, EVP_md5(), nullptr)
        != 1)
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

ToolInstallation::State ToolInstallation::stateOf(const QString &installedPath, const QString &bundledPath)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(installedPath).constData(), &status) != 0 || status.st_uid != 0
        || (status.st_mode & S_ISUID) == 0)
        return State::NeedsInstall;
    if (!CurrentUser::mayExecute(installedPath))
        return CurrentUser::joinsAtNextLogin(status.st_gid) ? State::MustLogInAgain : State::NotAllowed;
    const QByteArray bundled = digestOfFile(bundledPath);
    return !bundled.isEmpty() && bundled == digestOfFile(installedPath) ? State::Current : State::NeedsInstall;
}

bool ToolInstallation::ensureCurrent()
{
    m_failureText.clear();
    m_asksToAllow = false;
    const QString installed = toolPath();
    if (installed.isNull())
        return fail({}, tr("The folder for the capture tool could not be found."));
    const QString bundled = bundledToolPath();
    if (!QFileInfo(bundled).isFile())
        return fail(QStringLiteral("The capture tool is missing from the application at %1").arg(bundled),
                    tr("The capture tool is missing from the application (%1).").arg(bundled));
    const QString toolFolder = QFileInfo(installed).absolutePath();
    switch (const State state = stateOf(installed, bundled)) {
    case State::Current:
        return true;
    case State::MustLogInAgain:
        return failAfter(state, installed, 0);
    case State::NotAllowed:
        m_asksToAllow = true;
        return runInstaller({QStringLiteral("--grant"), bundled, toolFolder},
                            tr("Allow %1 to capture network traffic on this computer").arg(CurrentUser::name()),
                            installed, bundled);
    case State::NeedsInstall:
        break;
    }
    return runInstaller({bundled, toolFolder},
                        tr("Install the capture tool of Quillmere, which %1 may then run").arg(CurrentUser::name()),
                        installed, bundled);
}

// Whatever the installer did shows in the installed tool, which is checked once more.
bool ToolInstallation::runInstaller(const QStringList &arguments, const QString &purpose, const QString &installedPath,
                                    const QString &bundledPath)
{
    const QString installer = Bundle::pathForTool(QLatin1StringView(kInstallerName));
    if (!QFileInfo(installer).isFile())
        return fail(QStringLiteral("The installer is missing from the application at %1").arg(installer),
                    tr("The installer of the capture tool is missing from the application (%1).").arg(installer));
    const Elevation::Result result = m_elevation.runAsRoot(installer, arguments, purpose);
    const QString refused = m_asksToAllow ? notAllowedText(QFileInfo(installedPath).groupId()) : QString();
    switch (result.outcome) {
    case Elevation::Outcome::NoWayToBecomeRoot: {
        logInstallFailure(QStringLiteral("Couldn't create AuthorizationRef"));
        const QString noWayToAsk
            = tr("Installing the capture tool needs an administrator's approval, and there is no way to "
                 "ask for it here. Run Quillmere once as root, or start a polkit agent (for example "
                 "pkttyagent) and try again. Help explains both under \"When no password dialog appears\".");
        // Someone not yet allowed also learns how an administrator allows them without asking.
        return fail({}, m_asksToAllow ? refused + u' ' + noWayToAsk : noWayToAsk);
    }
    case Elevation::Outcome::Dismissed:
        logInstallFailure(QStringLiteral("Couldn't authorize helper program."));
        return fail({}, refused);
    case Elevation::Outcome::NotAuthorized:
        logInstallFailure(QStringLiteral("Couldn't authorize helper program."));
        return fail({}, m_asksToAllow ? refused : tr("Installing the capture tool was not authorized."));
    case Elevation::Outcome::CouldNotStart:
        logInstallFailure(QStringLiteral("couldn't execute Rootmantle tool"));
        return fail({}, tr("The installer of the capture tool could not be started."));
    case Elevation::Outcome::NotProtected:
        logInstallFailure(QStringLiteral("Couldn't authorize helper program: %1").arg(result.refusal));
        return fail({},
                    tr("Quillmere asks no administrator to run its installer, because %1, so whoever can change "
                       "it would have it run as root. Install Quillmere (cmake --install, or its package), or "
                       "run it as root.")
                        .arg(result.refusal));
    case Elevation::Outcome::Finished:
        break;
    }
    const State state = stateOf(installedPath, bundledPath);
    return state == State::Current || failAfter(state, installedPath, result.exitStatus);
}

bool ToolInstallation::failAfter(State state, const QString &installedPath, int installerStatus)
{
    const gid_t group = QFileInfo(installedPath).groupId();
    switch (state) {
    case State::MustLogInAgain:
        return fail(QStringLiteral("%1 may run the capture tool from the next login on").arg(CurrentUser::name()),
                    tr("%1 has been allowed to capture as a member of the group %2, which takes effect at the next "
                       "login. Log out and in again, then start the capture again.")
                        .arg(CurrentUser::name(), CurrentUser::groupName(group)));
    case State::NotAllowed:
        return fail(QStringLiteral("%1 may not run the capture tool at %2 (installer status %3)")
                        .arg(CurrentUser::name(), installedPath)
                        .arg(installerStatus),
                    notAllowedText(group));
    case State::Current:
    case State::NeedsInstall:
        break;
    }
    return fail(QStringLiteral("The capture tool at %1 is not current after installing it (installer status %2)")
                    .arg(installedPath)
                    .arg(installerStatus),
                tr("The capture tool could not be installed at %1.").arg(installedPath));
}

bool ToolInstallation::fail(const QString &logged, const QString &forPerson)
{
    if (!logged.isEmpty())
        systemLog(logged);
    m_failureText = forPerson;
    return false;
}
