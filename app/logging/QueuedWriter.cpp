// SPDX-License-Identifier: MIT
#include "logging/QueuedWriter.h"

#include <QByteArray>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>

struct QueuedWriter::State
{
    State(OwnedDescriptor destination, FailureReport failureReport)
        : descriptor(std::move(destination))
        , report(std::move(failureReport))
    {
    }

    bool isIdle() const { return queued.isEmpty() && !writing && expected == 0; }

    const OwnedDescriptor descriptor;
    const FailureReport report;
    bool failed = false; // the thread's own
    std::mutex mutex;    // guards the four below
    QByteArray queued;
    qsizetype expected = 0; // lines announced, still being made
    bool writing = false;
    bool closing = false;
    std::condition_variable changed; // something was queued, written, or closing began
};

struct QueuedWriter::Registry
{
    std::mutex mutex;
    std::vector<std::weak_ptr<State>> states;
};

// Never destroyed: writers may still finish while the process exits.
QueuedWriter::Registry &QueuedWriter::registry()
{
    static Registry *const instance = new Registry;
    return *instance;
}

namespace {

void blockPipeSignal()
{
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
}

} // namespace

QueuedWriter::QueuedWriter(OwnedDescriptor descriptor, FailureReport report)
    : m_state(std::make_shared<State>(std::move(descriptor), std::move(report)))
{
    std::thread(&QueuedWriter::writeInThread, m_state).detach();
    Registry &all = registry();
    const std::lock_guard lock(all.mutex);
    std::erase_if(all.states, [](const std::weak_ptr<State> &known) { return known.expired(); });
    all.states.push_back(m_state);
}

QueuedWriter::~QueuedWriter()
{
    const std::lock_guard lock(m_state->mutex);
    m_state->closing = true;
    m_state->changed.notify_all();
}

bool QueuedWriter::append(QByteArrayView lines)
{
    return appendExpected(lines, 0);
}

void QueuedWriter::expectLines(qsizetype count)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->expected += count;
}

bool QueuedWriter::appendExpected(QByteArrayView lines, qsizetype count)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->expected -= count;
    m_state->changed.notify_all();
    if (m_state->queued.size() + lines.size() > kQueueBytes)
        return false;
    m_state->queued.append(lines);
    return true;
}

bool QueuedWriter::waitUntilWritten(std::chrono::milliseconds timeout)
{
    return pending().waitUntilWritten(timeout);
}

QueuedWriter::Pending QueuedWriter::pending() const
{
    Pending pending;
    pending.m_state = m_state;
    return pending;
}

bool QueuedWriter::Pending::waitUntilWritten(std::chrono::milliseconds timeout) const
{
    const std::shared_ptr<State> state = m_state.lock();
    if (!state)
        return true;
    std::unique_lock lock(state->mutex);
    return state->changed.wait_for(lock, timeout, [&] { return state->isIdle(); });
}

void QueuedWriter::waitForAll(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::shared_ptr<State>> states;
    {
        Registry &all = registry();
        const std::lock_guard lock(all.mutex);
        for (const auto &known : all.states) {
            if (auto state = known.lock())
                states.push_back(std::move(state));
        }
    }
    for (const auto &state : states) {
        std::unique_lock lock(state->mutex);
        state->changed.wait_until(lock, deadline, [&] { return state->isIdle(); });
    }
}

// The thread's own reference keeps the descriptor open until the last queued byte is out.
void QueuedWriter::writeInThread(std::shared_ptr<State> state)
{
    blockPipeSignal();
    pthread_setname_np(pthread_self(), "qm-write");
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return !state->queued.isEmpty() || state->closing; });
        if (state->queued.isEmpty())
            return;
        const QByteArray lines = std::exchange(state->queued, QByteArray());
        state->writing = true;
        lock.unlock();
        const bool written
            = writeAll(state->descriptor.get(), lines.constData(), static_cast<std::size_t>(lines.size()));
        const bool firstFailure = !written && !std::exchange(state->failed, true);
        if (firstFailure && state->report)
            state->report();
        lock.lock();
        state->writing = false;
        state->changed.notify_all();
    }
}
