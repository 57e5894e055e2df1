// SPDX-License-Identifier: MIT
#include "history/HistoryRecord.h"

#include "model/ProgramName.h"
#include "model/Stream.h"
#include "model/StreamProtocol.h"

#include <QHash>

namespace {
std::size_t endpointHash(const StreamEndpoint &endpoint, std::size_t seed)
{
    return qHashBits(endpoint.address.data(), endpoint.address.size(), seed ^ endpoint.port);
}
} // namespace

std::size_t HistoryRecord::IdentityHash::operator()(const Identity &identity) const
{
    std::size_t hash = qHash(identity.interfaceName, qHash(identity.serial));
    hash = qHash(identity.firstSeen, hash ^ identity.protocol);
    return endpointHash(identity.remote, endpointHash(identity.local, hash));
}

HistoryRecord::Identity HistoryRecord::identity() const
{
    return Identity{interfaceName, serial, firstSeen, protocol, local, remote};
}

std::optional<HistoryRecord> HistoryRecord::fromStream(const Stream &stream, const QString &interfaceName,
                                                       double lastSeen, const QString &closeReason)
{
    const EndpointText source = stream.sourceSide();
    const EndpointText destination = stream.destinationSide();
    if (!source.endpoint() || !destination.endpoint())
        return std::nullopt;
    HistoryRecord record;
    record.interfaceName = interfaceName;
    record.serial = stream.serial();
    record.firstSeen = stream.openedTime();
    record.lastSeen = lastSeen;
    record.protocol = protocolNumber(stream.protocol());
    record.local = *source.endpoint();
    record.remote = *destination.endpoint();
    record.localHostName = source.hostName();
    record.remoteHostName = destination.hostName();
    record.localServiceName = source.serviceName();
    record.remoteServiceName = destination.serviceName();
    const ProgramName program = ProgramName::fromText(stream.process());
    record.programName = program.name;
    record.programId = program.id;
    record.upBytes = stream.lifetimeUpBytes();
    record.downBytes = stream.lifetimeDownBytes();
    record.upPayloadBytes = stream.lifetimeUpDataBytes();
    record.downPayloadBytes = stream.lifetimeDownDataBytes();
    record.closeReason = closeReason;
    return record;
}
