// SPDX-License-Identifier: MIT
#include "capture/StreamTable.h"

#include "capture/AsyncProcessAttribution.h"
#include "capture/NewStreamAnnouncement.h"
#include "logging/StreamEventLog.h"
#include "model/Stream.h"
#include "model/StreamProtocol.h"
#include "platform/CurrentHost.h"
#include "platform/MainThreadDelivery.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <algorithm>
#include <array>
#include <mutex>

namespace {
// Records counted together after fetching their memory ahead: enough to overlap many
// fetches, few enough that the first is still near when the last is counted.
constexpr std::size_t kFetchAhead = 32;

// Stream keeps its counters last (see Stream.h), so the object's end is what counting touches.
void prefetchCounters(const Stream &stream)
{
    constexpr std::size_t kCounterBytes = 48;
    const char *end = reinterpret_cast<const char *>(&stream) + sizeof(Stream);
    __builtin_prefetch(end - kCounterBytes, 1);
    __builtin_prefetch(end - 1, 1);
}

// A cycle's scans of the table fetch this many nodes ahead, and the streams of half as many:
// a node must have arrived before its stream's address can be read from it.
constexpr std::size_t kScanAhead = 16;

// What expiry reads of a stream: its end, and its counters with the last update's time.
void prefetchForExpiry(const Stream &stream)
{
    __builtin_prefetch(&stream.closeReason(), 1);
    prefetchCounters(stream);
}

const QString &closeReasonOf(bool wasReset)
{
    static const QString closedText = QStringLiteral("closed");
    static const QString resetText = QStringLiteral("reset");
    return wasReset ? resetText : closedText;
}

const QString &idleReason()
{
    static const QString idle = QStringLiteral("idle");
    return idle;
}

qsizetype longestCommonPrefix(const QStringList &ownAddresses, const QString &endpoint)
{
    qsizetype longest = 0;
    for (const QString &own : ownAddresses) {
        const auto mismatch = std::mismatch(own.begin(), own.end(), endpoint.begin(), endpoint.end());
        longest = std::max(longest, static_cast<qsizetype>(mismatch.first - own.begin()));
    }
    return longest;
}
} // namespace

// A batch of answers crosses to the main thread in one delivery, not one each: a flood of new
// conversations would otherwise wake the window's thread once per stream. The first answer
// of a batch posts the delivery; those that come before it runs join it.
class StreamTable::ProcessAnswers : public std::enable_shared_from_this<ProcessAnswers>
{
public:
    void add(std::weak_ptr<Stream> stream, const QString &process)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_pending.emplace_back(std::move(stream), process);
            if (m_pending.size() > 1)
                return;
        }
        if (!MainThreadDelivery::post([answers = shared_from_this()] { answers->deliver(); })) {
            const std::lock_guard lock(m_mutex);
            m_pending.clear();
        }
    }

private:
    void deliver()
    {
        std::vector<std::pair<std::weak_ptr<Stream>, QString>> answers;
        {
            const std::lock_guard lock(m_mutex);
            answers.swap(m_pending);
        }
        for (const auto &[asked, process] : answers) {
            if (const std::shared_ptr<Stream> live = asked.lock())
                live->setProcess(process);
        }
    }

    std::mutex m_mutex; // guards m_pending
    std::vector<std::pair<std::weak_ptr<Stream>, QString>> m_pending;
};

void StreamTable::Cycle::freeDepartedElsewhere()
{
    if (departed)
        QThreadPool::globalInstance()->start([held = std::move(departed)]() mutable { held.reset(); });
}

StreamTable::StreamTable(bool performLookups, OwnAddresses ownAddresses)
    : m_performLookups(performLookups)
    , m_ownAddresses(std::move(ownAddresses))
    , m_otherText(QCoreApplication::translate("StreamCapture", "Other"))
    , m_processAnswers(std::make_shared<ProcessAnswers>())
{
}

StreamTable::~StreamTable() = default;

void StreamTable::updateWithSummary(const PacketSummaryV2 &summary, double now, StreamEventLog &log)
{
    updateWithSummaries(std::span(&summary, 1), now, log);
}

// Three passes over each run: find every record's slot and fetch it, then fetch the counters
// of the streams found there, then count; the memory of a run is on its way all at once.
void StreamTable::updateWithSummaries(std::span<const PacketSummaryV2> summaries, double now, StreamEventLog &log)
{
    std::array<Lookup, kFetchAhead> lookups;
    for (std::size_t first = 0; first < summaries.size(); first += kFetchAhead) {
        const auto run = summaries.subspan(first, std::min(kFetchAhead, summaries.size() - first));
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (!run[i].hasPorts)
                continue;
            lookups[i] = Lookup::of(run[i]);
            m_cache.prefetch(lookups[i].hash);
        }
        for (std::size_t i = 0; i < run.size(); ++i) {
            if (!run[i].hasPorts)
                continue;
            if (const StreamLookupCache::Slot *slot = m_cache.find(lookups[i].key, lookups[i].hash))
                prefetchCounters(*slot->stream);
        }
        for (std::size_t i = 0; i < run.size(); ++i)
            countRecord(run[i], lookups[i], now, log);
    }
}

StreamTable::Lookup StreamTable::Lookup::of(const PacketSummaryV2 &summary)
{
    const StreamEndpoint source = StreamEndpoint::fromBytes(summary.sourceAddress, summary.sourcePort);
    const StreamEndpoint destination = StreamEndpoint::fromBytes(summary.destinationAddress, summary.destinationPort);
    Lookup lookup;
    lookup.key = StreamKey::conversation(source, destination, summary.ipProtocol);
    lookup.hash = lookup.key.hash();
    lookup.sourceIsLesser = !(destination < source);
    return lookup;
}

// A conversation of an endpoint with itself has both sides lesser, so it counts up. The end
// of a TCP connection (FIN, RST) is rare enough to be noted through the map.
void StreamTable::countRecord(const PacketSummaryV2 &summary, const Lookup &lookup, double now, StreamEventLog &log)
{
    if (!summary.hasPorts) {
        count(*otherEntry().stream, summary, isOwnAddress(summary.sourceAddress), now);
        return;
    }
    const StreamLookupCache::Slot *slot = m_cache.find(lookup.key, lookup.hash);
    if (slot == nullptr) {
        const Found found = cacheConversation(summary, lookup, log);
        if (found.tail) {
            countInTotals(summary);
            return;
        }
        slot = found.slot;
    }
    if (slot == nullptr) {
        ++m_foldedRecords;
        count(*otherEntry().stream, summary, isOwnAddress(summary.sourceAddress), now);
        return;
    }
    const bool up = slot->localIsLesser == lookup.sourceIsLesser;
    count(*slot->stream, summary, up, now);
    if (summary.fin || summary.reset)
        noteTcpEnd(lookup.key, summary, up);
}

void StreamTable::noteTcpEnd(const StreamKey &key, const PacketSummaryV2 &summary, bool up)
{
    const auto found = m_entries.find(key);
    if (found == m_entries.end())
        return;
    TcpState &tcp = found->second.tcp;
    if (summary.fin)
        (up ? tcp.finUp : tcp.finDown) = true;
    tcp.reset = tcp.reset || summary.reset;
}

// The conversation's slot, filled from the map, or from a new stream; no slot once the table
// is full and the conversation is new, and none either for the tail of a connection that left.
StreamTable::Found StreamTable::cacheConversation(const PacketSummaryV2 &summary, const Lookup &lookup,
                                                  StreamEventLog &log)
{
    const StreamEndpoint source = StreamEndpoint::fromBytes(summary.sourceAddress, summary.sourcePort);
    const StreamEndpoint destination = StreamEndpoint::fromBytes(summary.destinationAddress, summary.destinationPort);
    auto found = m_entries.find(lookup.key);
    if (found == m_entries.end()) {
        if (isTail(lookup.key, summary))
            return {nullptr, true};
        if (m_order.size() >= m_streamLimit)
            return {};
        found = m_entries.emplace(lookup.key, makeEntry(source, destination, summary.ipProtocol)).first;
        m_order.push_back(&*found);
        m_cache.fitTo(m_order.size());
        Entry &entry = found->second;
        entry.tcp.openedBySyn = summary.syn;
        // Streams of other protocols ("*") are not announced, as the catch-all one is not.
        if (summary.ipProtocol == kProtocolTcp || summary.ipProtocol == kProtocolUdp) {
            announceOverdue(entry.stream->openedTime(), log);
            announce(entry, entry.local == source ? destination : source, summary.ipProtocol, log);
        }
    }
    const Entry &entry = found->second;
    const bool sourceIsLocal = entry.local == source;
    StreamLookupCache::Slot &slot = m_cache.place(lookup.hash);
    slot = {lookup.key, entry.stream.get(), sourceIsLocal == lookup.sourceIsLesser};
    return {&slot, false};
}

// Only TCP has ends to tell; a SYN begins a conversation anew.
bool StreamTable::isTail(const StreamKey &key, const PacketSummaryV2 &summary)
{
    if (summary.ipProtocol != kProtocolTcp)
        return false;
    if (summary.syn) {
        m_tails.erase(key);
        return false;
    }
    if (summary.fin || summary.reset) {
        if (m_tails.size() < m_streamLimit)
            m_tails.emplace(key, m_lastCycle);
        return true;
    }
    return m_tails.contains(key);
}

void StreamTable::forgetOldTails(double now)
{
    std::erase_if(m_tails, [now](const auto &tail) { return now - tail.second > kTailSeconds; });
}

void StreamTable::setTcpConnectionKeeping(bool keep, double idleLimit)
{
    m_keepTcpConnections = keep;
    m_tcpIdleLimit = idleLimit;
}

// Without a question taken, or with no line to write, nothing waits.
void StreamTable::announce(Entry &entry, const StreamEndpoint &remote, std::uint8_t protocol, StreamEventLog &log)
{
    // Allocated apart from its count, so that once it has been written the stream's weak
    // reference keeps only the count alive.
    std::shared_ptr<NewStreamAnnouncement> announcement;
    if (m_attribution != nullptr && log.isLogging())
        announcement.reset(new NewStreamAnnouncement(
            *entry.stream, entry.stream->openedTime() + NewStreamAnnouncement::kProcessWaitSeconds));
    if (!askForProcess(entry, remote, protocol, announcement, announcement ? &log : nullptr) || !announcement) {
        log.queueNewStream(*entry.stream);
        return;
    }
    entry.announcement = announcement;
    m_announcements.push_back(std::move(announcement));
}

// The answer holds the stream weakly: a stream that expired before its answer came needs none.
// No program found means nothing to tell the stream; its line goes out all the same.
bool StreamTable::askForProcess(const Entry &entry, const StreamEndpoint &remote, std::uint8_t protocol,
                                const std::shared_ptr<NewStreamAnnouncement> &announcement, StreamEventLog *log)
{
    if (m_attribution == nullptr)
        return false;
    return m_attribution->ask({protocol, entry.local, remote},
                              [asked = std::weak_ptr<Stream>(entry.stream), announcement, log,
                               answers = m_processAnswers](const QString &process) {
                                  if (announcement) {
                                      announcement->announce(process, *log);
                                      log->writeQueuedLines();
                                  }
                                  if (!process.isEmpty())
                                      answers->add(asked, process);
                              });
}

void StreamTable::announceOverdue(double now, StreamEventLog &log)
{
    while (!m_announcements.empty() && m_announcements.front()->deadline() <= now) {
        m_announcements.front()->announce({}, log);
        m_announcements.pop_front();
    }
}

StreamTable::Entry &StreamTable::otherEntry()
{
    auto found = m_entries.find(StreamKey::other());
    if (found == m_entries.end()) {
        found = m_entries.emplace(StreamKey::other(), makeOtherEntry()).first;
        m_order.push_back(&*found);
    }
    return found->second;
}

StreamTable::Entry StreamTable::makeEntry(const StreamEndpoint &source, const StreamEndpoint &destination,
                                          std::uint8_t protocol)
{
    m_own = m_ownAddresses();
    const QStringList &ownAddresses = m_own->addresses;
    const bool destinationLooksLocal = longestCommonPrefix(ownAddresses, destination.localSideText())
        > longestCommonPrefix(ownAddresses, source.localSideText());
    const StreamEndpoint &local = destinationLooksLocal ? destination : source;
    const StreamEndpoint &remote = destinationLooksLocal ? source : destination;
    Entry entry;
    entry.stream
        = Stream::streamWithSource(EndpointText(local), EndpointText(remote), protocolText(protocol), m_performLookups);
    entry.local = local;
    entry.protocol = protocol;
    return entry;
}

// The catch-all stream has no endpoints to look up.
StreamTable::Entry StreamTable::makeOtherEntry()
{
    Entry entry;
    const EndpointText other = EndpointText::label(m_otherText);
    entry.stream = Stream::streamWithSource(other, other, protocolText(0), false);
    return entry;
}

bool StreamTable::isOwnAddress(const PacketSummaryV2::Address &address)
{
    if (!m_own)
        m_own = m_ownAddresses();
    const auto &own = m_own->binaryAddresses;
    return std::find(own.begin(), own.end(), address) != own.end();
}

// Whole-packet bytes first, then payload, both the same way.
void StreamTable::count(Stream &stream, const PacketSummaryV2 &summary, bool up, double now)
{
    if (up) {
        stream.addUpBytes(summary.packetBytes, now);
        stream.addUpDataBytes(summary.dataBytes);
        m_upBytes += summary.packetBytes;
    } else {
        stream.addDownBytes(summary.packetBytes, now);
        stream.addDownDataBytes(summary.dataBytes);
        m_downBytes += summary.packetBytes;
    }
}

// Up as on the "other" stream: what one of this machine's own addresses sends.
void StreamTable::countInTotals(const PacketSummaryV2 &summary)
{
    (isOwnAddress(summary.sourceAddress) ? m_upBytes : m_downBytes) += summary.packetBytes;
}

StreamTable::Cycle StreamTable::runCycle(double now, double removeInterval, StreamEventLog &log)
{
    m_own = m_ownAddresses();
    forgetOldTails(now);
    m_lastCycle = now;
    announceOverdue(now, log);
    Cycle cycle;
    expire(now, removeInterval, log, cycle);
    cycle.copies.reserve(m_order.size());
    for (Node *node : m_order) {
        Entry &entry = node->second;
        cycle.copies.push_back(snapshotOf(entry));
        if (entry.protocol == kProtocolTcp)
            ++cycle.totals.tcpStreams;
        else if (entry.protocol == kProtocolUdp)
            ++cycle.totals.udpStreams;
        else
            ++cycle.totals.otherStreams;
    }
    for (Node *node : m_order)
        node->second.stream->resetTime(now);
    cycle.totals.upBytes = m_upBytes;
    cycle.totals.downBytes = m_downBytes;
    cycle.totals.foldedRecords = m_foldedRecords;
    ++m_cycles;
    return cycle;
}

// The copy of two cycles ago is free once the display has moved on to the last one; the
// update cycle runs on the main thread, where every copy is held, so nobody takes it meanwhile.
std::shared_ptr<Stream> StreamTable::snapshotOf(Entry &entry)
{
    std::shared_ptr<Stream> &snapshot = entry.snapshots[m_cycles % entry.snapshots.size()];
    if (snapshot && snapshot.use_count() == 1)
        entry.stream->copyInto(*snapshot);
    else
        snapshot = entry.stream->copy();
    return snapshot;
}

// From the last stream down, so closed-stream lines come in reverse creation order; the
// survivors then close ranks in one pass, keeping their order. When most streams leave at
// once (a flood of conversations ending together), the map lets go of them wholesale instead
// of looking each one up. Either way their entries are only taken out here, not freed.
void StreamTable::expire(double now, double removeInterval, StreamEventLog &log, Cycle &cycle)
{
    std::vector<const Node *> leaving;
    for (std::size_t index = m_order.size(); index-- > 0;) {
        if (index >= kScanAhead)
            __builtin_prefetch(m_order[index - kScanAhead], 1);
        if (index >= kScanAhead / 2)
            prefetchForExpiry(*m_order[index - kScanAhead / 2]->second.stream);
        Node *&node = m_order[index];
        Entry &entry = node->second;
        if (!leaves(entry, now, removeInterval))
            continue;
        if (entry.tcp.reset || (entry.tcp.finUp && entry.tcp.finDown))
            m_tails.emplace(node->first, now);
        if (const auto announcement = entry.announcement.lock())
            announcement->announce(entry.stream->process(), log);
        cycle.expired.push_back(std::move(entry.stream));
        leaving.push_back(node);
        node = nullptr;
    }
    if (cycle.expired.empty())
        return;
    std::erase(m_order, nullptr);
    cycle.departed = leaving.size() > m_order.size() ? keepOnlySurvivors() : takeOut(leaving);
    log.queueRemovedStreams(cycle.expired);
}

// Whether the stream leaves this cycle; the reason is written in as it is decided. A kept
// connection that has just ended is marked and stays one cycle.
bool StreamTable::leaves(Entry &entry, double now, double removeInterval) const
{
    Stream &stream = *entry.stream;
    if (stream.hasEnded())
        return true;
    const bool ended = entry.tcp.reset || (entry.tcp.finUp && entry.tcp.finDown);
    const double idle = now - stream.lastUpdateTime();
    const bool kept = m_keepTcpConnections && entry.protocol == kProtocolTcp && entry.tcp.openedBySyn;
    if (kept && ended) {
        stream.setCloseReason(closeReasonOf(entry.tcp.reset));
        return false;
    }
    if (idle <= (kept ? m_tcpIdleLimit : removeInterval))
        return false;
    stream.setCloseReason(ended ? closeReasonOf(entry.tcp.reset) : idleReason());
    return true;
}

std::shared_ptr<const void> StreamTable::takeOut(const std::vector<const Node *> &leaving)
{
    auto departed = std::make_shared<std::vector<Entries::node_type>>();
    departed->reserve(leaving.size());
    for (const Node *node : leaving) {
        const StreamKey key = node->first;
        m_cache.forget(key, key.hash());
        departed->push_back(m_entries.extract(key));
    }
    return departed;
}

// The survivors' nodes are moved into a new map whole, so m_order's pointers to them hold;
// the old map keeps the rest.
std::shared_ptr<const void> StreamTable::keepOnlySurvivors()
{
    auto departed = std::make_shared<Entries>();
    departed->swap(m_entries);
    m_entries.reserve(m_order.size());
    for (const Node *node : m_order)
        m_entries.insert(departed->extract(node->first));
    m_cache.clear();
    return departed;
}
