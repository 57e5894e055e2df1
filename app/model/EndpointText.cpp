// SPDX-License-Identifier: MIT
#include "model/EndpointText.h"

EndpointText::EndpointText(const StreamEndpoint &endpoint)
    : m_endpoint(endpoint)
{
    compose();
}

EndpointText EndpointText::label(const QString &text)
{
    EndpointText label;
    label.m_text = text;
    return label;
}

bool EndpointText::awaitsHostName(const StreamEndpoint &endpoint) const
{
    return m_endpoint && m_hostName.isEmpty() && m_endpoint->address == endpoint.address;
}

void EndpointText::setHostName(const QString &name)
{
    if (!m_endpoint || name.isEmpty())
        return;
    m_hostName = name;
    compose();
}

void EndpointText::setServiceName(const QString &name)
{
    if (!m_endpoint || name.isEmpty())
        return;
    m_serviceName = name;
    compose();
}

// A host name replaces the whole address, brackets of an IPv6 one included.
void EndpointText::compose()
{
    m_text = (m_hostName.isEmpty() ? m_endpoint->shownAddress() : m_hostName) + u':'
        + (m_serviceName.isEmpty() ? QString::number(m_endpoint->port) : m_serviceName);
}
