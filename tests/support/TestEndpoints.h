// SPDX-License-Identifier: MIT
#pragma once

// Endpoints of test streams, written as people read them.

#include "model/EndpointText.h"

#include <QString>

#include <cstdint>
#include <stdexcept>

inline EndpointText endpointAt(const char *address, std::uint16_t port)
{
    const auto endpoint = StreamEndpoint::fromAddressText(QString::fromLatin1(address), port);
    if (!endpoint)
        throw std::invalid_argument(address);
    return EndpointText(*endpoint);
}

// The endpoint once names have come: a host name and, when given, a service name.
inline EndpointText namedEndpoint(const QString &host, const char *address, std::uint16_t port,
                                  const QString &service = {})
{
    EndpointText endpoint = endpointAt(address, port);
    endpoint.setHostName(host);
    endpoint.setServiceName(service);
    return endpoint;
}
