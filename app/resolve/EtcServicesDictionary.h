// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// Service names by "port/protocol" as the system's services database writes them (for
// instance "22/tcp" -> "ssh"). Read-only once built, so any thread may look up without a lock.
class EtcServicesDictionary
{
public:
    static constexpr const char *kSystemServicesPath = "/etc/services";

    // The table of the system's services file, read once per process on the first call;
    // callers on other threads wait until it is complete. It lives until the process ends.
    static const EtcServicesDictionary &sharedDictionary();

    // Reads a services file. A missing or unreadable file gives an empty table.
    explicit EtcServicesDictionary(const QString &path);

    // Parses the contents of a services file (also the entry point for fuzzing).
    static EtcServicesDictionary fromContents(const QByteArray &contents);

    qsizetype count() const { return m_dict.size(); }
    QList<QString> keys() const { return m_dict.keys(); }

    // The official name of the service on `key` ("22/tcp"; compared exactly, so callers
    // lower-case the protocol), or a null QString when the table has none.
    QString objectForKey(const QString &key) const { return m_dict.value(key); }

private:
    EtcServicesDictionary() = default;
    static QHash<QString, QString> parse(const QByteArray &contents);

    QHash<QString, QString> m_dict;
};
