// SPDX-License-Identifier: MIT
// Netsiphon: runs as root; never trust its input.
//
// The setuid capture helper. It opens one interface for capture, gives up root, and then
// writes one record per frame to standard output until the reader closes the pipe (SIGPIPE
// ends it with status 0), or until the interface is removed (a line on standard error and
// status 1): `Netsiphon <interface>` writes the 20-byte PacketSummary,
// `Netsiphon --records=2 <interface>` the 48-byte PacketSummaryV2. Set-up failures are one
// line on standard error and status 1. Everything it reads from the wire is decoded only
// within captured bytes.

#include "tools/capture/CaptureLoop.h"
#include "tools/capture/FrameDecoderV2.h"
#include "tools/capture/InterfaceName.h"
#include "tools/capture/InterfaceWatch.h"
#include "tools/capture/LinkTypes.h"
#include "tools/capture/PrivilegeDrop.h"
#include "tools/capture/ProcessHygiene.h"
#include "tools/capture/RecordWriter.h"

#include <pcap/pcap.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {
// Version 1 drops a frame cut by the snapshot, so it captures frames whole; version 2 only
// the headers it decodes.
constexpr int kSnapshotLengthV1 = 65536;
constexpr char kRecordsV2Option[] = "--records=2";
constexpr int kPromiscuous = 1;
// A short time-out makes the kernel hand over a partly filled capture block; with 0 a lone
// frame on a quiet interface could wait until the block fills.
constexpr int kReadTimeoutMilliseconds = 10;
// Any user may start the tool, and this kernel memory is charged to nobody, so it is the
// smallest ring with which the whole pipeline took sustained floods of small and of large
// frames on the loopback without loss (4 MiB lost a few per thousand of the large ones).
constexpr int kKernelBufferBytes = 8 * 1024 * 1024;

using ErrorBuffer = std::array<char, PCAP_ERRBUF_SIZE>;

struct Invocation
{
    const char *interfaceName;
    RecordVersion version;
};

// An unknown option is not echoed: like every argument it comes from whoever started us.
Invocation parseArguments(int argc, char *argv[])
{
    if (argc == 2)
        return {argv[1], RecordVersion::One};
    if (argc == 3 && std::strcmp(argv[1], kRecordsV2Option) == 0)
        return {argv[2], RecordVersion::Two};
    if (argc == 3 && argv[1][0] == '-')
        std::fprintf(stderr, "unknown option (usage: Netsiphon [%s] <interface>)\n", kRecordsV2Option);
    else
        std::fprintf(stderr, "number of arguments incorrect: %d (this should never happen)\n", argc);
    std::exit(1);
}

[[noreturn]] void failOpen(const char *text)
{
    std::fprintf(stderr, "pcap_open_live: %s\n", text);
    std::exit(1);
}

// Checked before libpcap sees the name at all (see InterfaceName.h); refused the way a
// missing interface is.
void refuseAnythingButAnInterface(const char *name)
{
    const char *refusal = interfaceNameRefusal(name);
    if (refusal == nullptr)
        return;
    if (isPlainInterfaceName(name))
        std::fprintf(stderr, "pcap_open_live: %s: %s\n", name, refusal);
    else
        std::fprintf(stderr, "pcap_open_live: %s\n", refusal);
    std::exit(1);
}

void configure(pcap_t *capture, RecordVersion version)
{
    const int snapshotLength = version == RecordVersion::Two ? kSnapshotLengthV2 : kSnapshotLengthV1;
    for (const int status :
         {pcap_set_snaplen(capture, snapshotLength), pcap_set_promisc(capture, kPromiscuous),
          pcap_set_timeout(capture, kReadTimeoutMilliseconds), pcap_set_buffer_size(capture, kKernelBufferBytes)}) {
        if (status != 0)
            failOpen(pcap_statustostr(status));
    }
}

// Worded as libpcap's own open call words it, so the user sees the familiar text.
void describeActivation(const char *interfaceName, pcap_t *capture, int status, ErrorBuffer &errorBuffer)
{
    const char *detail = pcap_geterr(capture);
    const bool hasDetail = detail != nullptr && detail[0] != '\0';
    if (status == PCAP_ERROR || (status > 0 && hasDetail))
        std::snprintf(errorBuffer.data(), errorBuffer.size(), "%s: %s", interfaceName,
                      hasDetail ? detail : pcap_statustostr(status));
    else if (hasDetail
             && (status == PCAP_ERROR_NO_SUCH_DEVICE || status == PCAP_ERROR_PERM_DENIED
                 || status == PCAP_ERROR_PROMISC_PERM_DENIED))
        std::snprintf(errorBuffer.data(), errorBuffer.size(), "%s: %s (%s)", interfaceName, pcap_statustostr(status),
                      detail);
    else
        std::snprintf(errorBuffer.data(), errorBuffer.size(), "%s: %s", interfaceName, pcap_statustostr(status));
}

// A warning from activation counts as a failure, as an open that warned always has.
pcap_t *openInterface(const Invocation &invocation, ErrorBuffer &errorBuffer)
{
    const char *interfaceName = invocation.interfaceName;
    pcap_t *capture = pcap_create(interfaceName, errorBuffer.data());
    if (capture == nullptr)
        failOpen(errorBuffer.data());
    configure(capture, invocation.version);
    const int status = pcap_activate(capture);
    if (status != 0) {
        describeActivation(interfaceName, capture, status, errorBuffer);
        failOpen(errorBuffer.data());
    }
    if (pcap_setnonblock(capture, 1, errorBuffer.data()) < 0) {
        std::fprintf(stderr, "pcap_setnonblock: %s\n", errorBuffer.data());
        std::exit(1);
    }
    return capture;
}

std::size_t acceptedLinkHeaderLength(pcap_t *capture)
{
    const int linkType = pcap_datalink(capture);
    if (const auto length = linkHeaderLength(linkType))
        return *length;
    const char *description = pcap_datalink_val_to_description(linkType);
    std::fprintf(stderr, "Link type \"%s\" cannot be decoded\n",
                 description != nullptr ? description : "unknown link type");
    std::exit(1);
}

void refuseAnUnwatchableInterface(const InterfaceWatch &interface)
{
    if (interface.ready())
        return;
    std::fprintf(stderr, "socket: %s\n", std::strerror(interface.socketError()));
    std::exit(1);
}

// The name passed refuseAnythingButAnInterface, so it is safe to echo.
void reportTheInterfaceGone(const InterfaceWatch &interface)
{
    std::fprintf(stderr, "%s: the interface has been removed; the capture has ended\n", interface.name());
}

void refuseAReplacedInterface(pcap_t *capture, const InterfaceWatch &interface)
{
    if (interface.isBoundTo(pcap_fileno(capture)))
        return;
    reportTheInterfaceGone(interface);
    std::exit(1);
}

void dropPrivileges()
{
    const PrivilegeDrop drop = PrivilegeDrop::toRealIds();
    if (drop.succeeded())
        return;
    if (drop.systemError() != 0)
        std::fprintf(stderr, "dropping privileges failed: %s: %s\n", drop.failedStep(),
                     std::strerror(drop.systemError()));
    else
        std::fprintf(stderr, "dropping privileges failed: %s\n", drop.failedStep());
    std::exit(1);
}
} // namespace

int main(int argc, char *argv[])
{
    forbidInspection();
    const Invocation invocation = parseArguments(argc, argv);
    ensureStandardDescriptors();
    forgetEnvironment();
    endOnClosedOutput();
    refuseDumpableDrops();

    refuseAnythingButAnInterface(invocation.interfaceName);

    const InterfaceWatch interface(invocation.interfaceName);
    refuseAnUnwatchableInterface(interface);
    ErrorBuffer errorBuffer{};
    pcap_t *capture = openInterface(invocation, errorBuffer);
    refuseAReplacedInterface(capture, interface);
    const std::size_t linkHeaderLength = acceptedLinkHeaderLength(capture);
    dropPrivileges();
    forbidInspection();

    static RecordWriter writer(STDOUT_FILENO);
    CaptureLoop loop(capture, linkHeaderLength, invocation.version, writer, interface);
    const int writeError = loop.run();
    // Closing the capture also takes the interface out of promiscuous mode right away.
    pcap_close(capture);
    if (writeError != 0) {
        std::fprintf(stderr, "write: %s\n", std::strerror(writeError));
        return 1;
    }
    if (loop.interfaceGone()) {
        reportTheInterfaceGone(interface);
        return 1;
    }
    return 0;
}
