// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <chrono>
#include <functional>

// Runs the main thread's events until `done` holds or the time is up; whether it held.
// Objects deleted later go too, as they would when control returns to a running event loop.
inline bool processEventsUntil(const std::function<bool()> &done,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    const QDeadlineTimer deadline(timeout);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
