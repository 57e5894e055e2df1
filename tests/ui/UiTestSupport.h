// SPDX-License-Identifier: MIT
#pragma once

// What the window tests share: one QApplication drawing off screen, preferences in a private
// folder, and waiting on the event loop.

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

// Runs the events until `done` holds or the time is up; whether it held. Objects deleted
// later go too, as they would when control returns to a running event loop.
inline bool processEventsUntil(const std::function<bool()> &done,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    const QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
