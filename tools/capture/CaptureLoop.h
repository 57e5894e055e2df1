// SPDX-License-Identifier: MIT
#pragma once

// The capture loop: wait at most 1 s for the capture descriptor, hand out every packet
// libpcap has ready, and write their records with one write at the end of the pass.
// Nothing is held back past the pass that captured it, so an idle interface costs nothing
// and a flooded one is drained in large batches. The wait also watches the output, so the
// loop ends as soon as its reader has gone, even when no frame arrives to be written.

#include "tools/capture/RecordWriter.h"

#include <pcap/pcap.h>

#include <cstddef>

// Which record the loop writes for each frame (see PacketSummary.h).
enum class RecordVersion { One, Two };

class CaptureLoop
{
public:
    CaptureLoop(pcap_t *capture, std::size_t linkHeaderLength, RecordVersion version, RecordWriter &writer);

    // Returns once the reader of the output has gone (0), or with the error number of a
    // write that failed: with the records no longer reaching anyone, capturing on would only
    // keep the interface promiscuous for nothing.
    int run();
    // One wait and dispatch; false once the reader has gone or a write failed.
    bool runPass();

private:
    enum class Wait { ForFrames, ForTimeOnly };

    static void handlePacket(u_char *user, const pcap_pkthdr *header, const u_char *bytes) noexcept;
    static void handlePacketV2(u_char *user, const pcap_pkthdr *header, const u_char *bytes) noexcept;
    bool wait(Wait what);

    pcap_t *m_capture;
    std::size_t m_linkHeaderLength;
    pcap_handler m_handler;
    RecordWriter &m_writer;
    int m_writeError = 0;
};
