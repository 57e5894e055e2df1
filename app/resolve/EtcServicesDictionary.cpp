// SPDX-License-Identifier: MIT
#include "resolve/EtcServicesDictionary.h"

#include "platform/SystemLog.h"

#include <QByteArrayView>
#include <QFile>
#include <QStringDecoder>

#include <optional>

namespace {
bool isBlank(char byte)
{
    // The white space of the C locale, as scanf's %s separates words.
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
}

// A line up to its first NUL or "#": the format makes everything from "#" on a comment,
// wherever it stands, so an indented comment adds nothing.
QByteArrayView withoutComment(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != '\0' && line[end] != '#')
        ++end;
    return line.first(end);
}

// The first two words of the line, or nothing when it has fewer.
std::optional<std::pair<QByteArrayView, QByteArrayView>> firstTwoWords(QByteArrayView line)
{
    QByteArrayView words[2];
    qsizetype position = 0;
    for (QByteArrayView &word : words) {
        while (position < line.size() && isBlank(line[position]))
            ++position;
        const qsizetype start = position;
        while (position < line.size() && !isBlank(line[position]))
            ++position;
        if (position == start)
            return std::nullopt;
        word = line.sliced(start, position - start);
    }
    return std::pair{words[0], words[1]};
}

// Null when the bytes are not valid UTF-8: such a word makes no entry.
QString strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}
} // namespace

const EtcServicesDictionary &EtcServicesDictionary::sharedDictionary()
{
    // A function-local static is initialised exactly once; threads that ask meanwhile wait
    // for it. Deliberately never destroyed, so reader threads still running at exit can use it.
    static const EtcServicesDictionary *const shared = [] {
        systemLog(QStringLiteral("start"));
        const auto *table = new EtcServicesDictionary(QString::fromLatin1(kSystemServicesPath));
        systemLog(QStringLiteral("stop"));
        return table;
    }();
    return *shared;
}

EtcServicesDictionary::EtcServicesDictionary(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        m_dict = parse(file.readAll());
}

EtcServicesDictionary EtcServicesDictionary::fromContents(const QByteArray &contents)
{
    EtcServicesDictionary table;
    table.m_dict = parse(contents);
    return table;
}

QHash<QString, QString> EtcServicesDictionary::parse(const QByteArray &contents)
{
    QHash<QString, QString> table;
    const QByteArrayView all(contents);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        const QByteArrayView line = all.sliced(start, end - start);
        start = end + 1;
        const auto words = firstTwoWords(withoutComment(line));
        if (!words)
            continue;
        const QString name = strictUtf8(words->first);
        const QString portAndProtocol = strictUtf8(words->second);
        // Later lines replace earlier ones: the last line for a port and protocol wins.
        if (!name.isNull() && !portAndProtocol.isNull())
            table.insert(portAndProtocol, name);
    }
    return table;
}
