// SPDX-License-Identifier: MIT
#pragma once

#include "model/StreamEndpoint.h"

#include <QString>

#include <optional>

// One end of a stream as people read it. An endpoint reads address:port ("10.0.0.1:80",
// "[2001:db8::1]:443") until names take the place of its pieces: a service name from the
// services table for the port, a host name from a reverse lookup for the address
// ("gateway:ssh"). A label, such as the catch-all stream's "Other", has no endpoint, reads
// as it is and takes no names.
//
// The endpoint stays beside its text as numbers, so the text is made once per change and
// never taken apart again. Not locked: its stream guards it.
class EndpointText
{
public:
    explicit EndpointText(const StreamEndpoint &endpoint);
    static EndpointText label(const QString &text);

    // None for a label.
    const std::optional<StreamEndpoint> &endpoint() const { return m_endpoint; }
    const QString &text() const { return m_text; }
    // Empty until a name is known.
    const QString &hostName() const { return m_hostName; }
    const QString &serviceName() const { return m_serviceName; }

    // Whether an answer for `endpoint`'s address names this end: it has that address and no
    // host name yet.
    bool awaitsHostName(const StreamEndpoint &endpoint) const;
    // An empty name changes nothing, and a label takes none.
    void setHostName(const QString &name);
    void setServiceName(const QString &name);

private:
    EndpointText() = default;
    void compose();

    std::optional<StreamEndpoint> m_endpoint;
    QString m_hostName;
    QString m_serviceName;
    QString m_text;
};
