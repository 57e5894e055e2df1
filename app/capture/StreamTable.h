// SPDX-License-Identifier: MIT
#pragma once

#include "capture/CaptureTotals.h"
#include "capture/StreamKey.h"
#include "capture/StreamLookupCache.h"
#include "model/StreamEndpoint.h"
#include "platform/CurrentHost.h"
#include "tools/capture/PacketSummary.h"

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

class AsyncProcessAttribution;
class NewStreamAnnouncement;
class Stream;
class StreamEventLog;

// The live streams of one capture, in creation order, and the records folded into them.
// Not locked itself: every call is made with the capture's lock held (records on the
// reader thread, the update cycle on the main thread).
//
// - Grouping: both directions of a conversation are one stream; the same endpoints with
//   another protocol are another; every record without ports counts on the one "other"
//   stream, shown "Other" to "Other" with protocol "*".
// - The side that looks local (the longer common prefix of its display text with one of
//   this machine's addresses; a tie keeps the record's order) becomes the stream's source.
// - Direction: up is what that source endpoint sends, remembered as numbers, since name
//   answers rewrite the texts. A conversation of an endpoint with itself counts up. On the
//   "other" stream, up is what one of this machine's own addresses sends.
// - Bound: a flood of spoofed sources must not grow the table without end. Once it holds
//   its limit of live streams, records of new conversations count on the "other" stream,
//   and how many did is told with the totals.
// - TCP ends: a stream notes the SYN it began with and the FIN of each side and any RST.
//   The end of a conversation without a stream (a FIN or RST, and what follows it for a
//   while) makes no new stream: it is the tail of one that left, or began before the
//   capture; its bytes count in the totals only. A SYN always begins a stream.
// - Expiry: a stream idle for longer than the remove interval leaves ("idle", or "closed"
//   and "reset" when its end was seen). With TCP connections kept, a TCP stream that began
//   with a SYN stays until FIN from both sides or an RST, or until idle for longer than the
//   TCP idle limit: ended by FIN or RST it is marked so and stays for one more cycle, so a
//   window can show it ended, and leaves at the next.
class StreamTable
{
public:
    struct Cycle
    {
        std::vector<std::shared_ptr<Stream>> copies;        // the live streams after expiry, in order
        std::vector<std::shared_ptr<const Stream>> expired; // those that left, from the last down
        CaptureTotals totals;
        // What the table kept of those that left, let go of by whoever holds the cycle: after
        // the capture's lock is released, so a flood of expiries frees nothing under it.
        std::shared_ptr<const void> departed;

        // Lets a pool thread free what left: for a flood of expiries that takes tens of
        // milliseconds the window's thread should not wait for.
        void freeDepartedElsewhere();
    };

    // This machine's addresses, for telling the local side: CurrentHost's snapshot unless a
    // test gives others.
    using OwnAddresses = std::function<std::shared_ptr<const CurrentHost::Snapshot>()>;

    // With lookups off, new streams keep their texts as made (service and host names off).
    explicit StreamTable(bool performLookups = true, OwnAddresses ownAddresses = &CurrentHost::snapshot);
    ~StreamTable();
    StreamTable(const StreamTable &) = delete;
    StreamTable &operator=(const StreamTable &) = delete;

    // Counts one record. A new conversation creates its stream and, before the first count,
    // takes the copy its new-stream line is made from (streams with protocol "*" are not
    // announced). With a process attribution and logging on, the line waits for the
    // program's answer, at most NewStreamAnnouncement::kProcessWaitSeconds (checked as
    // streams are made and at every cycle); otherwise it is queued at once. The log must
    // outlive the attribution's answers. The record arrived at `now` (one clock reading serves
    // a whole batch). IPv4 and IPv6 records alike.
    void updateWithSummary(const PacketSummaryV2 &summary, double now, StreamEventLog &log);
    // The same for a run of records, in order: the reader's way.
    void updateWithSummaries(std::span<const PacketSummaryV2> summaries, double now, StreamEventLog &log);

    // The update cycle's work under the lock: streams idle for longer than removeInterval
    // (strictly) leave, from the last down, each queueing its closed-stream line while its
    // counters are final; then every remaining stream is copied, in creation order, and
    // starts a new measuring interval. A stream's copy of two cycles ago that nobody holds
    // any more is written over rather than made anew: the display holds only the last.
    Cycle runCycle(double now, double removeInterval, StreamEventLog &log);

    std::size_t size() const { return m_order.size(); }

    static constexpr std::size_t kDefaultStreamLimit = 200'000;
    void setStreamLimit(std::size_t limit) { m_streamLimit = limit; }
    // How long the end of a conversation without a stream is remembered: a TCP socket
    // lingers as long after it closes (TIME_WAIT).
    static constexpr double kTailSeconds = 60.0;
    // Off: every stream leaves by the remove interval. Idle limit in seconds.
    static constexpr double kDefaultTcpIdleLimit = 600.0;
    void setTcpConnectionKeeping(bool keep, double idleLimit);
    // Asked, for every new TCP or UDP stream, which program on this machine owns it; the
    // answer reaches the live stream later on the main thread, and the stream's new-stream
    // line on the attribution's worker. None: no programs are shown.
    void setProcessAttribution(AsyncProcessAttribution *attribution) { m_attribution = attribution; }

private:
    struct TcpState
    {
        bool openedBySyn = false;
        bool finUp = false; // from the stream's source
        bool finDown = false;
        bool reset = false;
    };
    struct Entry
    {
        std::shared_ptr<Stream> stream;
        StreamEndpoint local;      // the endpoint shown as source
        std::uint8_t protocol = 0; // 0 on the "other" stream
        TcpState tcp;
        std::weak_ptr<NewStreamAnnouncement> announcement; // while its line may wait
        std::array<std::shared_ptr<Stream>, 2> snapshots;  // its copies of the last two cycles
    };
    using Entries = std::unordered_map<StreamKey, Entry, StreamKeyHash>;
    using Node = Entries::value_type;
    // What a record with ports is looked up by.
    struct Lookup
    {
        StreamKey key;
        std::size_t hash = 0;
        bool sourceIsLesser = false; // the record's source is the key's lesser endpoint
        static Lookup of(const PacketSummaryV2 &summary);
    };
    // Programs found for live streams, on their way to the main thread (see StreamTable.cpp).
    class ProcessAnswers;
    // A conversation's slot; none for a new one past the limit, or for a tail.
    struct Found
    {
        const StreamLookupCache::Slot *slot = nullptr;
        bool tail = false;
    };

    void countRecord(const PacketSummaryV2 &summary, const Lookup &lookup, double now, StreamEventLog &log);
    Found cacheConversation(const PacketSummaryV2 &summary, const Lookup &lookup, StreamEventLog &log);
    void noteTcpEnd(const StreamKey &key, const PacketSummaryV2 &summary, bool up);

    Entry makeEntry(const StreamEndpoint &source, const StreamEndpoint &destination, std::uint8_t protocol);
    Entry makeOtherEntry();
    bool isOwnAddress(const PacketSummaryV2::Address &address);
    Entry &otherEntry();
    void announce(Entry &entry, const StreamEndpoint &remote, std::uint8_t protocol, StreamEventLog &log);
    bool askForProcess(const Entry &entry, const StreamEndpoint &remote, std::uint8_t protocol,
                       const std::shared_ptr<NewStreamAnnouncement> &announcement, StreamEventLog *log);
    void announceOverdue(double now, StreamEventLog &log);
    void expire(double now, double removeInterval, StreamEventLog &log, Cycle &cycle);
    bool leaves(Entry &entry, double now, double removeInterval) const;
    bool isTail(const StreamKey &key, const PacketSummaryV2 &summary);
    void forgetOldTails(double now);
    std::shared_ptr<const void> takeOut(const std::vector<const Node *> &leaving);
    std::shared_ptr<const void> keepOnlySurvivors();
    std::shared_ptr<Stream> snapshotOf(Entry &entry);
    void count(Stream &stream, const PacketSummaryV2 &summary, bool up, double now);
    void countInTotals(const PacketSummaryV2 &summary);

    const bool m_performLookups;
    const OwnAddresses m_ownAddresses;
    // This machine's addresses as last fetched: afresh for every new stream and every cycle,
    // so records of the "other" stream, which may come in floods, need no fetch of their own.
    std::shared_ptr<const CurrentHost::Snapshot> m_own;
    const QString m_otherText;
    Entries m_entries;
    std::vector<Node *> m_order; // creation order; nodes of an unordered_map never move
    StreamLookupCache m_cache;   // of m_entries
    std::size_t m_streamLimit = kDefaultStreamLimit;
    AsyncProcessAttribution *m_attribution = nullptr;
    std::shared_ptr<ProcessAnswers> m_processAnswers; // shared with the questions' callbacks
    // Lines waiting for their program, in creation order and so by deadline.
    std::deque<std::shared_ptr<NewStreamAnnouncement>> m_announcements;
    // Ends of conversations without a stream, with the time of the cycle before they were seen.
    std::unordered_map<StreamKey, double, StreamKeyHash> m_tails;
    double m_lastCycle = 0.0;
    std::size_t m_cycles = 0; // which of each entry's snapshots the next cycle writes
    bool m_keepTcpConnections = false;
    double m_tcpIdleLimit = kDefaultTcpIdleLimit;
    quint64 m_upBytes = 0;
    quint64 m_downBytes = 0;
    quint64 m_foldedRecords = 0;
};
