#include "capture/StreamEndpoint.h"

QString StreamEndpoint::addressText() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(address[12]).arg(address[13]).arg(address[14]).arg(address[15]);
}

QString StreamEndpoint::text() const
{
    return addressText() + u':' + QString::number(port);
}
