// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVariant>

// What the reverse-lookup service tells about an address it was asked for. Clients are held
// by std::shared_ptr: a queued request shares ownership of its client until the answer has
// been delivered, so a client dropped by its owner meanwhile still receives its answer.
class DNSAsyncLookupClient
{
public:
    virtual ~DNSAsyncLookupClient() = default;

    // name: the host name, or a null QString when the address has no name.
    // address: exactly as it was asked for. userInfo: the client's value, or an invalid
    // QVariant when it gave none.
    // Called on the asking thread before lookupAddress returns when the answer is known
    // already (a client that asks while building itself must be ready for it), otherwise
    // later on the main thread. No lock of the service is held during the call.
    virtual void dnsGotName(const QString &name, const QString &address, const QVariant &userInfo) = 0;

protected:
    DNSAsyncLookupClient() = default;
    DNSAsyncLookupClient(const DNSAsyncLookupClient &) = default;
    DNSAsyncLookupClient &operator=(const DNSAsyncLookupClient &) = default;
};
