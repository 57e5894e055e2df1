// SPDX-License-Identifier: MIT
#pragma once

// What the window tests share: one QApplication drawing off screen, preferences in a private
// folder, and waiting on the event loop.

#include "EventLoopWait.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

inline QApplication &uiApplication()
{
    static QApplication *application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_ui";
        static char *argv[] = {name, nullptr};
        static QTemporaryDir settingsFolder;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
        auto *made = new QApplication(argc, argv);
        Preferences::shared().registerDefaultPreferences();
        return made;
    }();
    return *application;
}
