// SPDX-License-Identifier: MIT
#include "history/HistoryRecord.h"

#include "model/Stream.h"
#include "model/StreamProtocol.h"

#include <QHash>
#include <QRegularExpression>

namespace {
// A stream keeps its program as one text, "name (4242)"; the trailing process id in
// parentheses is taken apart again. A text without one (another user's socket) is all name.
void splitProgram(const QString &process, HistoryRecord &record)
{
    static const QRegularExpression withId(QStringLiteral("^(.*) \\(([0-9]{1,10})\\)$"),
                                           QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = withId.match(process);
    bool isNumber = false;
    const quint32 id = match.hasMatch() ? match.captured(2).toUInt(&isNumber) : 0;
    record.programName = isNumber ? match.captured(1) : process;
    record.programId = isNumber ? id : 0;
}

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
    splitProgram(stream.process(), record);
    record.upBytes = stream.lifetimeUpBytes();
    record.downBytes = stream.lifetimeDownBytes();
    record.upPayloadBytes = stream.lifetimeUpDataBytes();
    record.downPayloadBytes = stream.lifetimeDownDataBytes();
    record.closeReason = closeReason;
    return record;
}
