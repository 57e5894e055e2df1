// SPDX-License-Identifier: MIT
#include "capture/NewStreamAnnouncement.h"

#include "logging/StreamEventLog.h"
#include "model/Stream.h"

NewStreamAnnouncement::NewStreamAnnouncement(const Stream &stream, double deadline)
    : m_copy(stream.copy())
    , m_deadline(deadline)
{
}

void NewStreamAnnouncement::announce(const QString &process, StreamEventLog &log)
{
    std::shared_ptr<Stream> copy;
    {
        const std::lock_guard lock(m_mutex);
        copy = std::move(m_copy);
    }
    if (!copy)
        return;
    if (!process.isEmpty())
        copy->setProcess(process);
    log.queueNewStream(*copy);
}
