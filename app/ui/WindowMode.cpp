// SPDX-License-Identifier: MIT
#include "ui/WindowMode.h"

#include "capture/StreamCaptureCore.h"
#include "platform/Bundle.h"
#include "platform/EndingSignals.h"
#include "platform/Translations.h"
#include "ui/AppDelegate.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace {

// Qt would abort without a display, with advice about reinstalling; a person at a console or
// over ssh wants to hear how to run without a window. Qt picks its platform from these.
bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

int refuseWithoutDisplay(int argc, char *argv[])
{
    const QCoreApplication application(argc, argv);
    Translations::install();
    const QString said = QCoreApplication::translate(
        "WindowMode",
        "There is no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set). Run "
        "without a window: quillmere --headless --interface NAME");
    std::fprintf(stderr, "quillmere: %s\n", qPrintable(said));
    return 2;
}

} // namespace

int runWindows(int argc, char *argv[], const QString &interfaceName)
{
    if (!hasDisplay())
        return refuseWithoutDisplay(argc, argv);
    QApplication application(argc, argv);
    Translations::install();
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.quillmere.Quillmere"),
                                                 QIcon(Bundle::pathForResource(QStringLiteral("Quillmere.png")))));
    AppDelegate delegate;
    const EndingSignals endingSignals;
    QObject::connect(&endingSignals, &EndingSignals::quitRequested, &delegate, &AppDelegate::quit);
    if (interfaceName.isEmpty()) {
        QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
    } else if (QString failure; !delegate.watchInterfaceNamed(interfaceName, &failure)) {
        const QString said = failure.isEmpty() ? QStringLiteral("the capture was not started") : failure;
        std::fprintf(stderr, "quillmere: %s\n", qPrintable(said));
        // The alert with the reason quits once answered.
        if (!failure.isEmpty())
            QApplication::exec();
        StreamCaptureCore::shutdownAll();
        return 1;
    }
    const int status = QApplication::exec();
    StreamCaptureCore::shutdownAll();
    return status;
}
