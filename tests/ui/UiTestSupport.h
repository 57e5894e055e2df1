// SPDX-License-Identifier: MIT
#pragma once

// What the window tests share: one QApplication drawing off screen, preferences in a private
// folder, and waiting on the event loop.

#include "EventLoopWait.h"
#include "TestApplication.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

inline QApplication &uiApplication()
{
    static QApplication &application = []() -> QApplication & {
        QApplication &made = testApplication<QApplication>();
        Preferences::shared().registerDefaultPreferences();
        return made;
    }();
    return application;
}
