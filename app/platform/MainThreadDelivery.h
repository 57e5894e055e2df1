// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QMetaObject>

#include <mutex>
#include <utility>

// Hands work from any thread to the main thread's event loop without waiting for it.
//
// Posting to the application object races with its destruction, which Qt leaves to the
// caller: a worker could post into an event loop that is being torn down. So posting goes
// through a gate that opens when a QCoreApplication is constructed and closes when its
// destructor begins (Qt's pre- and post-routines); while it is closed, work is dropped.
class MainThreadDelivery
{
public:
    // Queues `work` (a callable taking no arguments) to run on the application's thread.
    // Returns false, and destroys `work` unrun, when no application is open.
    template <typename Work> static bool post(Work work)
    {
        watchApplications();
        const std::lock_guard lock(gateMutex());
        QCoreApplication *const application = openApplication();
        if (application == nullptr)
            return false;
        QMetaObject::invokeMethod(
            application,
            [work = std::move(work)]() mutable {
                // Qt's event queue orders this after the post, but with locks that
                // ThreadSanitizer cannot see; passing through the gate's lock shows it.
                passGate();
                work();
            },
            Qt::QueuedConnection);
        return true;
    }

    // Starts following applications as they are constructed and destroyed (post does this
    // too). Call it early, from a long-lived service's constructor, so that this one-time
    // registration with Qt never coincides with process exit.
    static void watchApplications();

private:
    static std::mutex &gateMutex();
    // The open application, or null; call with gateMutex held.
    static QCoreApplication *openApplication();
    static void passGate();
};
