// SPDX-License-Identifier: MIT
#include "capture/AsyncProcessAttribution.h"

#include <netinet/in.h>
#include <pthread.h>

#include <utility>
#include <vector>

AsyncProcessAttribution::AsyncProcessAttribution(ProcessAttribution::Sources sources,
                                                 std::chrono::milliseconds refreshInterval)
    : m_attribution(std::move(sources), refreshInterval)
    , m_worker([this] { serveRequests(); })
{
}

AsyncProcessAttribution::~AsyncProcessAttribution()
{
    {
        const std::lock_guard lock(m_queueLock);
        m_stopping = true;
    }
    m_queueChanged.notify_all();
    m_worker.join();
}

bool AsyncProcessAttribution::ask(const ProcessAttribution::Conversation &conversation, Answer answer)
{
    if (conversation.protocol != IPPROTO_TCP && conversation.protocol != IPPROTO_UDP)
        return false;
    bool wasEmpty = false;
    {
        const std::lock_guard lock(m_queueLock);
        if (m_queue.size() >= kQueueLimit)
            return false;
        wasEmpty = m_queue.empty();
        m_queue.push_back(Request{conversation, std::move(answer)});
    }
    // The worker waits for an empty queue to fill, or for a reading to be allowed, when
    // it does not need waking.
    if (wasEmpty)
        m_queueChanged.notify_one();
    return true;
}

void AsyncProcessAttribution::serveRequests()
{
    pthread_setname_np(pthread_self(), "Attribution");
    m_attribution.readProcesses();
    for (std::deque<Request> batch = nextBatch(); !batch.empty(); batch = nextBatch())
        answer(std::move(batch));
}

// Everything queued once the tables may be read again; empty when stopping.
std::deque<AsyncProcessAttribution::Request> AsyncProcessAttribution::nextBatch()
{
    std::unique_lock lock(m_queueLock);
    for (;;) {
        m_queueChanged.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            return {};
        const std::chrono::milliseconds delay = m_attribution.timeUntilRefresh();
        if (delay.count() == 0)
            return std::exchange(m_queue, {});
        m_queueChanged.wait_for(lock, delay, [this] { return m_stopping; });
    }
}

void AsyncProcessAttribution::answer(std::deque<Request> batch)
{
    std::vector<ProcessAttribution::Conversation> conversations;
    conversations.reserve(batch.size());
    for (const Request &request : batch)
        conversations.push_back(request.conversation);
    const std::vector<QString> texts = m_attribution.attribute(conversations);
    for (std::size_t index = 0; index < batch.size(); ++index)
        batch[index].answer(texts[index]);
}
