// SPDX-License-Identifier: MIT
#include "tools/capture/CaptureLoop.h"

#include "tools/capture/FrameDecoder.h"
#include "tools/capture/FrameDecoderV2.h"

#include <array>
#include <cerrno>
#include <poll.h>

namespace {
// A closed reader ends the wait at once (see wait), so the time-out only bounds how often an
// idle interface wakes the tool: no more often than the application's display refreshes.
constexpr int kWaitMilliseconds = 1000;
constexpr int kEveryReadyPacket = -1;
} // namespace

CaptureLoop::CaptureLoop(pcap_t *capture, std::size_t linkHeaderLength, RecordVersion version, RecordWriter &writer,
                         const InterfaceWatch &interface)
    : m_capture(capture)
    , m_linkHeaderLength(linkHeaderLength)
    , m_handler(version == RecordVersion::Two ? handlePacketV2 : handlePacket)
    , m_writer(writer)
    , m_interface(interface)
{
}

int CaptureLoop::run()
{
    while (runPass()) { }
    return m_writeError;
}

// After a failed dispatch (for example the interface went away) the capture descriptor may
// stay readable; waiting for time alone keeps the loop from spinning on it.
bool CaptureLoop::runPass()
{
    const Waited waited = wait(Wait::ForFrames);
    if (waited == Waited::ReaderGone || (waited == Waited::TimedOut && checkInterfaceGone()))
        return false;
    const int handled = pcap_dispatch(m_capture, kEveryReadyPacket, m_handler, reinterpret_cast<u_char *>(this));
    if (!m_writer.flush()) {
        m_writeError = m_writer.writeError() == EPIPE ? 0 : m_writer.writeError();
        return false;
    }
    if (handled >= 0)
        return true;
    return !checkInterfaceGone() && wait(Wait::ForTimeOnly) != Waited::ReaderGone;
}

bool CaptureLoop::checkInterfaceGone()
{
    m_interfaceGone = m_interface.gone(pcap_fileno(m_capture));
    return m_interfaceGone;
}

// A pipe's write end reports POLLERR once its reader has gone, whatever events were asked
// for; a file or /dev/null never does. Otherwise the outcome does not matter: a time-out,
// an interruption or readiness all lead to a non-blocking dispatch that returns at once
// when nothing is waiting. poll skips a negative descriptor.
CaptureLoop::Waited CaptureLoop::wait(Wait what)
{
    const int frames = what == Wait::ForFrames ? pcap_get_selectable_fd(m_capture) : -1;
    std::array<pollfd, 2> watched{{{m_writer.fileDescriptor(), 0, 0}, {frames, POLLIN, 0}}};
    const int ready = poll(watched.data(), watched.size(), kWaitMilliseconds);
    if (ready == 0)
        return Waited::TimedOut;
    if (ready < 0)
        return Waited::Ready;
    return (watched[0].revents & (POLLERR | POLLHUP)) == 0 ? Waited::Ready : Waited::ReaderGone;
}

// libpcap hands over the captured bytes and their length; nothing past caplen is read.
// Frames cut by the snapshot length are dropped: their true size is unknown to the decoder.
void CaptureLoop::handlePacket(u_char *user, const pcap_pkthdr *header, const u_char *bytes) noexcept
{
    if (bytes == nullptr || header == nullptr || header->caplen != header->len)
        return;
    auto &loop = *reinterpret_cast<CaptureLoop *>(user);
    loop.m_writer.add(decodeFrame(std::span<const std::uint8_t>(bytes, header->caplen), loop.m_linkHeaderLength));
}

// Version 2 captures only the headers and takes the lengths from the wire length, so a frame
// cut by the snapshot length is recorded like any other.
void CaptureLoop::handlePacketV2(u_char *user, const pcap_pkthdr *header, const u_char *bytes) noexcept
{
    if (bytes == nullptr || header == nullptr)
        return;
    auto &loop = *reinterpret_cast<CaptureLoop *>(user);
    loop.m_writer.add(
        decodeFrameV2(std::span<const std::uint8_t>(bytes, header->caplen), loop.m_linkHeaderLength, header->len));
}
