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

int runWindows(int argc, char *argv[], const QString &interfaceName)
{
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
        StreamCaptureCore::shutdownAll();
        return 1;
    }
    const int status = QApplication::exec();
    StreamCaptureCore::shutdownAll();
    return status;
}
