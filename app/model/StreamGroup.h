// SPDX-License-Identifier: MIT
#pragma once

#include "model/Stream.h"

#include <QCoreApplication>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

// Streams that share a program or a remote host, with their speeds and byte counts summed:
// the answer to who is using the bandwidth. A program is its name without the process id,
// so every process of one program falls into one group. The remote host is the destination
// side (the source is always the local one): its host name when known, else its address.
// Streams with no program (or the catch-all stream's label for a host) still form a group,
// under a label of its own.
//
// A group is made from one cycle's copies and read on the main thread; its speeds are those
// read when the streams were added.
class StreamGroup
{
    Q_DECLARE_TR_FUNCTIONS(StreamGroup)

public:
    enum class By { None, Program, RemoteHost };

    // The words the preference and the command line use: "none", "program", "host".
    static std::optional<By> byNamed(QStringView name);
    static QLatin1StringView nameOf(By by);

    // What the stream is grouped under; empty when it has no program (or no host).
    static QString keyOf(const Stream &stream, By by);
    // The streams in groups, the groups in the order their first stream comes, the streams
    // of a group in their given order.
    static std::vector<StreamGroup> grouped(std::span<const std::shared_ptr<Stream>> streams, By by);

    StreamGroup(By by, const QString &key);

    void add(const std::shared_ptr<Stream> &stream);

    By by() const { return m_by; }
    const QString &key() const { return m_key; }
    // The key, or for an empty one "No program" (or "No host").
    QString label() const;
    const std::vector<std::shared_ptr<Stream>> &streams() const { return m_streams; }
    // For a byte count or speed key the sum over the streams, for openedTime the earliest;
    // an invalid QVariant for every other key (texts are the streams' own).
    QVariant value(Stream::Key key) const;
    // The current speed up plus down, the order of "fastest first".
    double speed() const;
    // Whether one search word (without its "-") is found in the label.
    bool labelContains(QStringView word) const;

private:
    By m_by;
    QString m_key;
    std::vector<std::shared_ptr<Stream>> m_streams;
    std::array<double, 4> m_speeds{};
    std::array<quint64, 6> m_bytes{};
    std::optional<double> m_openedTime;
};
