// SPDX-License-Identifier: MIT
#pragma once

#include "tools/common/OwnedDescriptor.h"

#include <QByteArrayView>

#include <chrono>
#include <functional>
#include <memory>

// Whole lines to one descriptor from a thread of its own, so that no caller ever waits for
// the destination: a named pipe whose reader stopped reading, a stopped terminal, a program
// that takes the window-less table and reads no more. Callers queue and return at once; the
// thread hands what is queued to the kernel as soon as it is there, in the order it was
// queued, each append whole (several may go in one write).
//
// The queue is bounded, so a destination that has stalled costs a bounded amount of memory:
// an append that would take it past kQueueBytes is dropped whole, and the caller is told so
// it can count what was lost. Nothing is dropped while the destination takes what comes: the
// thread takes the whole queue at each write.
//
// The thread owns the descriptor and closes it when it ends: once the writer has been
// destroyed and what was queued is written, or at process exit for a destination that never
// takes it. Nobody waits for it, except the exit's waitForAll, and that only for a moment.
class QueuedWriter
{
private:
    struct State;

public:
    static constexpr qsizetype kQueueBytes = 4 * 1024 * 1024;
    // Told once, on the writer's thread, when a write fails (the reader of a pipe has gone,
    // the disk is full); it must not block. Later appends are still tried.
    using FailureReport = std::function<void()>;

    // Starts the thread, which blocks SIGPIPE for itself: a pipe whose reader has gone fails
    // the write with EPIPE instead of ending the process. Throws std::system_error when no
    // thread can be started.
    explicit QueuedWriter(OwnedDescriptor descriptor, FailureReport report = {});
    ~QueuedWriter();
    QueuedWriter(const QueuedWriter &) = delete;
    QueuedWriter &operator=(const QueuedWriter &) = delete;

    // Queues bytes made of whole lines; any thread. False when they were dropped because the
    // queue is full.
    bool append(QByteArrayView lines);
    // Lines another thread is still making count as queued, for the waits below, from the
    // moment they are announced here until they are appended with appendExpected (taken or
    // dropped alike).
    void expectLines(qsizetype count);
    bool appendExpected(QByteArrayView lines, qsizetype count);

    // Waits, at most `timeout`, until everything queued so far has been handed to the kernel
    // or has failed; whether it has.
    bool waitUntilWritten(std::chrono::milliseconds timeout);

    // What a writer has queued, to wait for also once the writer has been destroyed: a new
    // writer to the same file must not overtake lines still on their way. An empty one (or
    // one whose lines are out) is done at once.
    class Pending
    {
    public:
        bool waitUntilWritten(std::chrono::milliseconds timeout) const;

    private:
        friend class QueuedWriter;
        std::weak_ptr<State> m_state;
    };
    Pending pending() const;
    // Application exit: waits, at most `timeout` in all, for every writer's queue, those of
    // writers already destroyed included.
    static void waitForAll(std::chrono::milliseconds timeout);

private:
    struct Registry;
    static Registry &registry();
    static void writeInThread(std::shared_ptr<State> state);

    std::shared_ptr<State> m_state;
};
