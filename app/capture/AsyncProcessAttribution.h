// SPDX-License-Identifier: MIT
#pragma once

#include "capture/ProcessAttribution.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// ProcessAttribution for a thread that may not wait: ask() only queues the question, and one
// worker thread answers. Each answer comes from tables read after its question was asked, so
// questions wait for the next reading allowed (at most the refresh interval); those waiting
// together share one reading. Ask when a stream is first seen and keep the answer for the
// stream's life: a short-lived connection then keeps its program after its socket is gone.
//
// Threads: the worker reads the processes once when it starts, then serves the queue. Answers
// are given to the caller's callback on the worker thread, with no lock of this class held;
// post them on to the main thread (MainThreadDelivery) rather than touching shared state.
// ask() takes only the queue's lock, briefly, so a reader thread may call it while holding
// its capture's lock.
class AsyncProcessAttribution
{
public:
    // Called once on the worker thread with the text ProcessAttribution describes.
    using Answer = std::function<void(const QString &process)>;

    // Questions waiting for the worker; each keeps its callback alive.
    static constexpr std::size_t kQueueLimit = 10'000;

    // The sources are read on the worker thread only (SocketTable reads the namespace of the
    // thread that built the sources).
    explicit AsyncProcessAttribution(ProcessAttribution::Sources sources = ProcessAttribution::systemSources(),
                                     std::chrono::milliseconds refreshInterval = ProcessAttribution::kRefreshInterval);
    // Stops and joins the worker; questions not yet taken are dropped unanswered.
    ~AsyncProcessAttribution();
    AsyncProcessAttribution(const AsyncProcessAttribution &) = delete;
    AsyncProcessAttribution &operator=(const AsyncProcessAttribution &) = delete;

    // Queues a question. False, and `answer` is never called, when it is not taken: a protocol
    // other than TCP and UDP, or a full queue; the stream then has no program to show.
    bool ask(const ProcessAttribution::Conversation &conversation, Answer answer);

private:
    struct Request
    {
        ProcessAttribution::Conversation conversation;
        Answer answer;
    };

    void serveRequests();
    std::deque<Request> nextBatch();
    void answer(std::deque<Request> batch);

    ProcessAttribution m_attribution; // the worker's alone

    std::mutex m_queueLock; // guards m_queue and m_stopping
    std::condition_variable m_queueChanged;
    std::deque<Request> m_queue;
    bool m_stopping = false;

    std::thread m_worker; // last: starts once everything it uses exists
};
