// SPDX-License-Identifier: MIT
#pragma once

// The one application object of a test program, made on first use with preferences in a
// private folder: main-thread delivery needs an event loop, and no test may read or write
// the person's own settings. Window tests ask for a QApplication, which draws off screen.

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <type_traits>

template <class Application = QCoreApplication> Application &testApplication()
{
    static Application *const application = [] {
        if constexpr (!std::is_same_v<Application, QCoreApplication>)
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "quillmere-test";
        static char *argv[] = {name, nullptr};
        static QTemporaryDir settingsFolder;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
        return new Application(argc, argv);
    }();
    return *application;
}
