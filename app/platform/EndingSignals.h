// SPDX-License-Identifier: MIT
#pragma once

#include "tools/common/OwnedDescriptor.h"

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM as a request to quit, delivered as ordinary code on the main thread: the
// handler only writes a byte to a pipe the event loop watches, so logs are flushed and tools
// ended as at any quit, also while a capture is idle or another thread is blocked writing. The
// handlers are the process's while this object lives (at most one at a time); before and
// after, the signals have their default action. A program started meanwhile starts with the
// default action too (exec resets what is caught).
class EndingSignals final : public QObject
{
    Q_OBJECT

public:
    explicit EndingSignals(QObject *parent = nullptr);
    ~EndingSignals() override;

signals:
    void quitRequested();

private:
    OwnedPipe m_pipe;
    QSocketNotifier *m_notifier = nullptr;
};
