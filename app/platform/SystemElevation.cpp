// SPDX-License-Identifier: MIT
#include "platform/SystemElevation.h"

#include "tools/common/RootOnlyPath.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <string>
#include <unistd.h>

Elevation::Result SystemElevation::runAsRoot(const QString &program, const QStringList &arguments,
                                             const QString &purpose)
{
    if (geteuid() == 0)
        return run(program, arguments);
    if (const std::string refusal = refusalOfRootProgram(QFile::encodeName(program).toStdString()); !refusal.empty())
        return {Outcome::NotProtected, -1, QString::fromLocal8Bit(refusal)};
    // Never found through PATH: the program that grants root is the system's own.
    if (!QFileInfo(QLatin1StringView(kPkexecPath)).isExecutable())
        return {Outcome::NoWayToBecomeRoot, -1};
    const QByteArray line = purpose.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
    QByteArray said;
    Result result = run(QLatin1StringView(kPkexecPath), QStringList{program} + arguments, &said);
    if (result.outcome == Outcome::Finished && result.exitStatus == kDialogDismissedStatus)
        result.outcome = Outcome::Dismissed;
    else if (result.outcome == Outcome::Finished && result.exitStatus == kNotAuthorizedStatus)
        result.outcome = couldAsk(said) ? Outcome::NotAuthorized : Outcome::NoWayToBecomeRoot;
    return result;
}

// pkexec ends with the same status when nobody refused but nobody could be asked: polkit's
// daemon is unreachable, or no agent shows the dialog. Only its words tell them apart (pkexec
// does not translate them).
bool SystemElevation::couldAsk(const QByteArray &said)
{
    return !said.contains(kNoAuthorityText) && !said.contains(kNoAgentText);
}

// Waits in a local event loop, reading the program's output until it closes: the installer
// writes nothing there, so the end of its output is the end of its run. What it says on
// standard error is passed on to the application's as it comes, and kept in `said`.
Elevation::Result SystemElevation::run(const QString &program, const QStringList &arguments, QByteArray *said)
{
    QProcess process;
    QObject::connect(&process, &QProcess::readyReadStandardError, &process, [&process, said] {
        const QByteArray chunk = process.readAllStandardError();
        std::fwrite(chunk.constData(), 1, static_cast<std::size_t>(chunk.size()), stderr);
        std::fflush(stderr);
        if (said != nullptr)
            said->append(chunk);
    });
    // A terminal agent of polkit reads the password from the terminal the application has.
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    QEventLoop waiting;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::finished, &waiting, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &waiting, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failedToStart = true;
            waiting.quit();
        }
    });
    process.start(program, arguments);
    if (!failedToStart && process.state() != QProcess::NotRunning)
        waiting.exec();
    if (failedToStart || process.exitStatus() != QProcess::NormalExit)
        return {failedToStart ? Outcome::CouldNotStart : Outcome::Finished, -1};
    return {Outcome::Finished, process.exitCode()};
}
