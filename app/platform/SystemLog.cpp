// SPDX-License-Identifier: MIT
#include "platform/SystemLog.h"

#include <cstdio>
#include <mutex>

#include <unistd.h>

namespace {
std::mutex logMutex;
std::function<void(const QString &)> logSink;
} // namespace

void systemLog(const QString &message)
{
    std::lock_guard lock(logMutex);
    if (logSink) {
        logSink(message);
        return;
    }
    const QByteArray line = "Quillmere[" + QByteArray::number(getpid()) + "] " + message.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

void setSystemLogSink(std::function<void(const QString &)> sink)
{
    std::lock_guard lock(logMutex);
    logSink = std::move(sink);
}
