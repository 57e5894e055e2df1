// SPDX-License-Identifier: MIT
#pragma once

// The capture loop: wait at most 1 s for the capture descriptor, hand out every packet
// libpcap has ready, and write their records with one write at the end of the pass.
// Nothing is held back past the pass that captured it, so an idle interface costs nothing
// and a flooded one is drained in large batches. The wait also watches the output, so the
// loop ends as soon as its reader has gone, even when no frame arrives to be written. When
// idle (a wait that timed out, a read that failed) it checks that the interface is still
// there, and ends once it has gone.

#include "tools/capture/InterfaceWatch.h"
#include "tools/capture/RecordWriter.h"

#include <pcap/pcap.h>

#include <cstddef>

// Which record the loop writes for each frame (see PacketSummary.h).
enum class RecordVersion { One, Two };

class CaptureLoop
{
public:
    CaptureLoop(pcap_t *capture, std::size_t linkHeaderLength, RecordVersion version, RecordWriter &writer,
                const InterfaceWatch &interface);

    // Returns once the reader of the output has gone (0) or the interface has (0, and
    // interfaceGone() tells), or with the error number of a write that failed: with the
    // records no longer reaching anyone, capturing on would only keep the interface
    // promiscuous for nothing.
    int run();
    // One wait and dispatch; false once the reader or the interface has gone or a write failed.
    bool runPass();
    bool interfaceGone() const { return m_interfaceGone; }

private:
    enum class Wait { ForFrames, ForTimeOnly };
    enum class Waited { Ready, TimedOut, ReaderGone };

    static void handlePacket(u_char *user, const pcap_pkthdr *header, const u_char *bytes) noexcept;
    static void handlePacketV2(u_char *user, const pcap_pkthdr *header, const u_char *bytes) noexcept;
    Waited wait(Wait what);
    bool checkInterfaceGone();

    pcap_t *m_capture;
    std::size_t m_linkHeaderLength;
    pcap_handler m_handler;
    RecordWriter &m_writer;
    const InterfaceWatch &m_interface;
    int m_writeError = 0;
    bool m_interfaceGone = false;
};
