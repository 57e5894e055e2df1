// SPDX-License-Identifier: MIT
// Quillmere: wires the application together; the behaviour lives in the libraries.

#include "capture/StreamCaptureCore.h"
#include "headless/CommandLineOptions.h"
#include "headless/HeadlessCapture.h"
#include "logging/QueuedWriter.h"
#include "platform/Bundle.h"
#include "platform/EndingSignals.h"
#include "platform/Preferences.h"
#include "platform/Translations.h"
#include "ui/AppDelegate.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QTimer>

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

void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillmere"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLMERE_VERSION));
}

int runHeadless(int argc, char *argv[], const CommandLineOptions &options)
{
    QCoreApplication application(argc, argv);
    nameApplication();
    Translations::install();
    Preferences::shared().registerDefaultPreferences();
    HeadlessCapture capture(options);
    const std::optional<int> failed = capture.start();
    const int status = failed ? *failed : QCoreApplication::exec();
    StreamCaptureCore::shutdownAll();
    return status;
}

int runWindows(int argc, char *argv[], const CommandLineOptions &options)
{
    QApplication application(argc, argv);
    nameApplication();
    Translations::install();
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quillmere.Quillmere"),
                                                 QIcon(Bundle::pathForResource(QStringLiteral("Quillmere.png")))));
    AppDelegate delegate;
    const EndingSignals endingSignals;
    QObject::connect(&endingSignals, &EndingSignals::quitRequested, &delegate, &AppDelegate::quit);
    if (options.interfaceName.isEmpty()) {
        QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    } else if (QString failure; !delegate.watchInterfaceNamed(options.interfaceName, &failure)) {
        const QString said = failure.isEmpty() ? QStringLiteral("the capture was not started") : failure;
        std::fprintf(stderr, "quillmere: %s\n", qPrintable(said));
        StreamCaptureCore::shutdownAll();
        return 1;
    }
    const int status = QApplication::exec();
    StreamCaptureCore::shutdownAll();
    return status;
}

// Help and usage errors in the person's language: the texts are made again once the
// translations are in.
int answerCommandLine(int argc, char *argv[], CommandLineOptions::Mode mode)
{
    QCoreApplication application(argc, argv);
    nameApplication();
    Translations::install();
    const CommandLineOptions options = CommandLineOptions::parse(argumentList(argc, argv));
    if (mode == CommandLineOptions::Mode::Version) {
        std::printf("quillmere %s\n", QUILLMERE_VERSION);
        return 0;
    }
    std::fputs(qPrintable(options.message), mode == CommandLineOptions::Mode::Help ? stdout : stderr);
    return mode == CommandLineOptions::Mode::Help ? 0 : 2;
}

int run(int argc, char *argv[], const CommandLineOptions &options)
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
    return runWindows(argc, argv, options);
}

} // namespace

int main(int argc, char *argv[])
{
    const int status = run(argc, argv, CommandLineOptions::parse(argumentList(argc, argv)));
    QueuedWriter::waitForAll(kLastLinesGrace);
    return status;
}
