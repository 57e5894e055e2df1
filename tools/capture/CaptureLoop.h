#pragma once

// The endless capture loop: wait at most 0.2 s for the capture descriptor, hand out every
// packet libpcap has ready, and write their records with one write at the end of the pass.
// Nothing is held back past the pass that captured it, so an idle interface costs nothing
// and a flooded one is drained in large batches.

#include "tools/capture/RecordWriter.h"

#include <pcap/pcap.h>

#include <cstddef>

class CaptureLoop
{
public:
    CaptureLoop(pcap_t* capture, std::size_t linkHeaderLength, RecordWriter& writer);

    [[noreturn]] void run();
    void runPass();

private:
    static void handlePacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes) noexcept;
    void waitForPackets();

    pcap_t* m_capture;
    std::size_t m_linkHeaderLength;
    RecordWriter& m_writer;
};
