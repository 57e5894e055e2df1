// SPDX-License-Identifier: MIT
#include "capture/StreamTable.h"

#include "capture/AsyncProcessAttribution.h"
#include "logging/StreamEventLog.h"
#include "model/Stream.h"
#include "model/StreamProtocol.h"
#include "platform/CurrentHost.h"
#include "platform/MainThreadDelivery.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
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

StreamTable::StreamTable(bool performLookups, OwnAddresses ownAddresses)
    : m_performLookups(performLookups)
    , m_ownAddresses(std::move(ownAddresses))
    , m_otherText(QCoreApplication::translate("StreamCapture", "Other"))
{
}

StreamTable::~StreamTable() = default;

void StreamTable::updateWithSummary(const PacketSummaryV2 &summary, StreamEventLog &log)
{
    if (!summary.hasPorts) {
        count(otherEntry(), summary, isOwnAddress(summary.sourceAddress));
        return;
    }
    const StreamEndpoint source = StreamEndpoint::fromBytes(summary.sourceAddress, summary.sourcePort);
    const StreamEndpoint destination = StreamEndpoint::fromBytes(summary.destinationAddress, summary.destinationPort);
    const StreamKey key = StreamKey::conversation(source, destination, summary.ipProtocol);
    auto found = m_entries.find(key);
    if (found == m_entries.end()) {
        if (m_order.size() >= m_streamLimit) {
            ++m_foldedRecords;
            count(otherEntry(), summary, isOwnAddress(summary.sourceAddress));
            return;
        }
        found = m_entries.emplace(key, makeEntry(source, destination, summary.ipProtocol)).first;
        m_order.push_back(&*found);
        const Entry &entry = found->second;
        // Streams of other protocols ("*") are not announced, as the catch-all one is not.
        if (summary.ipProtocol == kProtocolTcp || summary.ipProtocol == kProtocolUdp) {
            log.queueNewStream(*entry.stream);
            askForProcess(entry.stream, entry.local, entry.local == source ? destination : source, summary.ipProtocol);
        }
    }
    count(found->second, summary, found->second.local == source);
}

// The answer holds the stream weakly: a stream that expired before its answer came needs none.
// No program found means nothing to tell.
void StreamTable::askForProcess(const std::shared_ptr<Stream> &stream, const StreamEndpoint &local,
                                const StreamEndpoint &remote, std::uint8_t protocol)
{
    if (m_attribution == nullptr)
        return;
    m_attribution->ask({protocol, local, remote}, [asked = std::weak_ptr<Stream>(stream)](const QString &process) {
        if (process.isEmpty())
            return;
        MainThreadDelivery::post([asked, process] {
            if (const std::shared_ptr<Stream> live = asked.lock())
                live->setProcess(process);
        });
    });
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
void StreamTable::count(const Entry &entry, const PacketSummaryV2 &summary, bool up)
{
    Stream &stream = *entry.stream;
    if (up) {
        stream.addUpBytes(summary.packetBytes);
        stream.addUpDataBytes(summary.dataBytes);
        m_upBytes += summary.packetBytes;
    } else {
        stream.addDownBytes(summary.packetBytes);
        stream.addDownDataBytes(summary.dataBytes);
        m_downBytes += summary.packetBytes;
    }
}

StreamTable::Cycle StreamTable::runCycle(double now, double removeInterval, StreamEventLog &log)
{
    m_own = m_ownAddresses();
    Cycle cycle;
    cycle.expired = expire(now, removeInterval, log);
    cycle.copies.reserve(m_order.size());
    for (const Node *node : m_order) {
        const Entry &entry = node->second;
        cycle.copies.push_back(entry.stream->copy());
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
    return cycle;
}

// From the last stream down, so closed-stream lines come in reverse creation order; the
// survivors then close ranks in one pass, keeping their order.
std::vector<std::shared_ptr<const Stream>> StreamTable::expire(double now, double removeInterval, StreamEventLog &log)
{
    std::vector<std::shared_ptr<const Stream>> expired;
    for (auto it = m_order.rbegin(); it != m_order.rend(); ++it) {
        Entry &entry = (*it)->second;
        if (now - entry.stream->lastUpdateTime() <= removeInterval)
            continue;
        expired.push_back(std::move(entry.stream));
        const StreamKey key = (*it)->first;
        m_entries.erase(key);
        *it = nullptr;
    }
    if (expired.empty())
        return expired;
    std::erase(m_order, nullptr);
    log.queueRemovedStreams(expired);
    return expired;
}
