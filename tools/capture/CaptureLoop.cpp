#include "tools/capture/CaptureLoop.h"

#include "tools/capture/FrameDecoder.h"

#include <poll.h>
#include <time.h>

namespace {
constexpr int kWaitMilliseconds = 200;
constexpr int kEveryReadyPacket = -1;

// After a failed dispatch (for example the interface went away) the descriptor may stay
// readable; pausing keeps the loop from spinning on it.
void pauseAfterFailure()
{
    const timespec pause{0, kWaitMilliseconds * 1000L * 1000L};
    nanosleep(&pause, nullptr);
}
} // namespace

CaptureLoop::CaptureLoop(pcap_t* capture, std::size_t linkHeaderLength, RecordWriter& writer)
    : m_capture(capture)
    , m_linkHeaderLength(linkHeaderLength)
    , m_writer(writer)
{
}

void CaptureLoop::run()
{
    for (;;)
        runPass();
}

void CaptureLoop::runPass()
{
    waitForPackets();
    const int handled = pcap_dispatch(m_capture, kEveryReadyPacket, handlePacket,
                                      reinterpret_cast<u_char*>(this));
    m_writer.flush();
    if (handled < 0)
        pauseAfterFailure();
}

// The outcome does not matter: a time-out, an interruption or readiness all lead to a
// non-blocking dispatch that returns at once when nothing is waiting.
void CaptureLoop::waitForPackets()
{
    pollfd readable{pcap_get_selectable_fd(m_capture), POLLIN, 0};
    if (readable.fd < 0)
        pauseAfterFailure();
    else
        poll(&readable, 1, kWaitMilliseconds);
}

// libpcap hands over the captured bytes and their length; nothing past caplen is read.
// Frames cut by the snapshot length are dropped: their true size is unknown to the decoder.
void CaptureLoop::handlePacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes) noexcept
{
    if (bytes == nullptr || header == nullptr || header->caplen != header->len)
        return;
    auto& loop = *reinterpret_cast<CaptureLoop*>(user);
    loop.m_writer.add(decodeFrame(std::span<const std::uint8_t>(bytes, header->caplen), loop.m_linkHeaderLength));
}
