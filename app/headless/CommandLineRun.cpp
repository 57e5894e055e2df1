// SPDX-License-Identifier: MIT
#include "headless/CommandLineRun.h"

#include "capture/StreamCaptureCore.h"
#include "headless/HeadlessCapture.h"
#include "headless/HistoryCommand.h"
#include "logging/QueuedWriter.h"
#include "platform/Preferences.h"
#include "platform/Translations.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

namespace {

// What is still on its way to a log file (or the window-less table to its reader) when the
// run ends gets this long to arrive; a destination that has stalled does not hold up the end.
constexpr std::chrono::milliseconds kLastLinesGrace{300};

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    return arguments;
}

// Before any application object, so every mode's object takes the names.
void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmere"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMERE_VERSION));
}

int runHeadless(int argc, char *argv[], const CommandLineOptions &options)
{
    QCoreApplication application(argc, argv);
    Translations::install();
    Preferences::shared().registerDefaultPreferences();
    HeadlessCapture capture(options);
    const std::optional<int> failed = capture.start();
    const int status = failed ? *failed : QCoreApplication::exec();
    StreamCaptureCore::shutdownAll();
    return status;
}

// Help and usage errors in the person's language: the texts are made again once the
// translations are in.
int answerCommandLine(int argc, char *argv[], CommandLineOptions::Mode mode)
{
    QCoreApplication application(argc, argv);
    Translations::install();
    const CommandLineOptions options = CommandLineOptions::parse(argumentList(argc, argv));
    if (mode == CommandLineOptions::Mode::Version) {
        std::printf("quillmere %s\n", QUILLMERE_VERSION);
        return 0;
    }
    std::fputs(qPrintable(options.message), mode == CommandLineOptions::Mode::Help ? stdout : stderr);
    return mode == CommandLineOptions::Mode::Help ? 0 : 2;
}

int runHistory(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Translations::install();
    return HistoryCommand::run(QCoreApplication::arguments());
}

int runMode(int argc, char *argv[], const CommandLineOptions &options, const WindowStart &startWindows)
{
    switch (options.mode) {
    case CommandLineOptions::Mode::Help:
    case CommandLineOptions::Mode::Version:
    case CommandLineOptions::Mode::UsageError:
        return answerCommandLine(argc, argv, options.mode);
    case CommandLineOptions::Mode::Headless:
        return runHeadless(argc, argv, options);
    case CommandLineOptions::Mode::Window:
        break;
    }
    return startWindows(argc, argv, options);
}

} // namespace

int runCommandLine(int argc, char *argv[], const WindowStart &startWindows)
{
    nameApplication();
    const QStringList arguments = argumentList(argc, argv);
    if (HistoryCommand::isHistoryCommand(arguments))
        return runHistory(argc, argv);
    const int status = runMode(argc, argv, CommandLineOptions::parse(arguments), startWindows);
    QueuedWriter::waitForAll(kLastLinesGrace);
    return status;
}
