// SPDX-License-Identifier: MIT
#include "capture/CaptureHistory.h"

#include "history/HistoryRecord.h"
#include "model/Stream.h"
#include "platform/Preferences.h"

#include <cmath>

namespace {

// A limit that is not a positive number keeps the default one.
HistoryRetention::Limits retentionLimits()
{
    const Preferences &preferences = Preferences::shared();
    HistoryRetention::Limits limits;
    const double days = preferences.doubleValue(Preferences::HistoryRetentionDays);
    if (std::isfinite(days) && days > 0.0)
        limits.days = days;
    const qint64 bytes = preferences.value(Preferences::HistoryRetentionBytes).toLongLong();
    if (bytes > 0)
        limits.bytes = bytes;
    return limits;
}

// The bindings last as long as the store: its deleter cuts them before it goes.
std::shared_ptr<HistoryStore> openStore()
{
    HistoryStore::Options options;
    options.path = Preferences::shared().stringValue(Preferences::HistoryPath);
    options.retention = retentionLimits();
    auto *store = new HistoryStore(options);
    std::vector<QMetaObject::Connection> bindings;
    for (const QLatin1StringView key : {Preferences::HistoryRetentionDays, Preferences::HistoryRetentionBytes})
        bindings.push_back(Preferences::shared().bind(
            key, nullptr, [store](const QVariant &) { store->setRetention(retentionLimits()); }));
    return std::shared_ptr<HistoryStore>(store, [bindings](HistoryStore *going) {
        for (const QMetaObject::Connection &binding : bindings)
            QObject::disconnect(binding);
        delete going;
    });
}

} // namespace

std::shared_ptr<HistoryStore> CaptureHistory::sharedStore()
{
    static std::weak_ptr<HistoryStore> shared;
    if (!Preferences::shared().boolValue(Preferences::HistoryEnabled))
        return nullptr;
    std::shared_ptr<HistoryStore> store = shared.lock();
    if (!store) {
        store = openStore();
        shared = store;
    }
    return store;
}

CaptureHistory::CaptureHistory(std::shared_ptr<HistoryStore> store, QString interfaceName, double startTime)
    : m_store(std::move(store))
    , m_interfaceName(std::move(interfaceName))
    , m_nextOpenRecords(startTime + kOpenRecordInterval)
{
}

void CaptureHistory::recordCycle(const StreamTable::Cycle &cycle, double now)
{
    recordExpired(cycle.expired);
    if (now < m_nextOpenRecords)
        return;
    m_nextOpenRecords = now + kOpenRecordInterval;
    recordLive(cycle.copies, now, HistoryRecord::kOpen);
}

void CaptureHistory::recordLastCycle(const StreamTable::Cycle &cycle, double now)
{
    recordExpired(cycle.expired);
    recordLive(cycle.copies, now, QString());
}

// A stream that expired has its last packet's time and the reason it left (a kept TCP
// connection closed or reset, otherwise idle); the cycle's copies are as of now.
void CaptureHistory::recordExpired(const std::vector<std::shared_ptr<const Stream>> &expired)
{
    std::vector<HistoryRecord> records;
    for (const std::shared_ptr<const Stream> &stream : expired) {
        const QString reason = stream->hasEnded() ? stream->closeReason() : QString(HistoryRecord::kIdle);
        if (auto record = HistoryRecord::fromStream(*stream, m_interfaceName, stream->lastUpdateTime(), reason))
            records.push_back(std::move(*record));
    }
    if (!records.empty())
        m_store->record(std::move(records));
}

void CaptureHistory::recordLive(const std::vector<std::shared_ptr<Stream>> &live, double now, const QString &reason)
{
    std::vector<HistoryRecord> records;
    records.reserve(live.size());
    for (const std::shared_ptr<Stream> &stream : live) {
        if (auto record = HistoryRecord::fromStream(*stream, m_interfaceName, now, reason))
            records.push_back(std::move(*record));
    }
    m_store->record(std::move(records));
}
