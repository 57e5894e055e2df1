// SPDX-License-Identifier: MIT
#include "ui/StreamTableModel.h"

#include "model/ByteSize.h"
#include "model/ByteSpeedFormatter.h"
#include "model/PrintableText.h"
#include "model/ValueText.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>

#include <algorithm>

namespace {

struct ColumnInfo
{
    Stream::Key key;
    const char *title;
    bool shownByDefault;
};

constexpr std::array<ColumnInfo, StreamTableModel::ColumnCount> kColumns{{
    {Stream::Key::Source, QT_TRANSLATE_NOOP("StreamTableModel", "Source"), true},
    {Stream::Key::Destination, QT_TRANSLATE_NOOP("StreamTableModel", "Destination"), true},
    {Stream::Key::Protocol, QT_TRANSLATE_NOOP("StreamTableModel", "Protocol"), true},
    {Stream::Key::Process, QT_TRANSLATE_NOOP("StreamTableModel", "Process"), true},
    {Stream::Key::UpSpeedNumber, QT_TRANSLATE_NOOP("StreamTableModel", "Up"), true},
    {Stream::Key::DownSpeedNumber, QT_TRANSLATE_NOOP("StreamTableModel", "Down"), true},
    {Stream::Key::LifetimeUpDataBytes, QT_TRANSLATE_NOOP("StreamTableModel", "Payload Up"), true},
    {Stream::Key::LifetimeDownDataBytes, QT_TRANSLATE_NOOP("StreamTableModel", "Payload Down"), true},
    {Stream::Key::LifetimeUpSpeedNumber, QT_TRANSLATE_NOOP("StreamTableModel", "Average Up"), true},
    {Stream::Key::LifetimeDownSpeedNumber, QT_TRANSLATE_NOOP("StreamTableModel", "Average Down"), true},
    {Stream::Key::OpenedTime, QT_TRANSLATE_NOOP("StreamTableModel", "Opened"), true},
    {Stream::Key::LifetimeUpBytes, QT_TRANSLATE_NOOP("StreamTableModel", "Total Up"), false},
    {Stream::Key::LifetimeDownBytes, QT_TRANSLATE_NOOP("StreamTableModel", "Total Down"), false},
    {Stream::Key::TotalUpBytes, QT_TRANSLATE_NOOP("StreamTableModel", "Interval Up"), false},
    {Stream::Key::TotalDownBytes, QT_TRANSLATE_NOOP("StreamTableModel", "Interval Down"), false},
}};

bool isSpeed(Stream::Key key)
{
    return key == Stream::Key::UpSpeedNumber || key == Stream::Key::DownSpeedNumber
        || key == Stream::Key::LifetimeUpSpeedNumber || key == Stream::Key::LifetimeDownSpeedNumber;
}

// Streams keep times in seconds since 2001; people read them as their local date and time.
QString localDateTime(double referenceTime)
{
    return QLocale().toString(Clock::dateTimeFromReference(referenceTime), QLocale::ShortFormat);
}

// Tooltips take rich text when their first line looks like it; names from the network and
// programs must never be read as markup, and each of their lines stays one line.
QString plainToolTip(const QStringList &lines)
{
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(printableText(lines.join(u'\n')).toHtmlEscaped());
}

} // namespace

Stream::Key StreamTableModel::keyOfColumn(int column)
{
    return kColumns.at(static_cast<std::size_t>(column)).key;
}

QString StreamTableModel::identifierOfColumn(int column)
{
    return Stream::keyName(keyOfColumn(column));
}

bool StreamTableModel::isShownByDefault(int column)
{
    return kColumns.at(static_cast<std::size_t>(column)).shownByDefault;
}

bool StreamTableModel::isNumeric(int column)
{
    return column != SourceColumn && column != DestinationColumn && column != ProtocolColumn && column != ProcessColumn;
}

QList<TableExport::Field> StreamTableModel::exportFields(const QList<int> &columns)
{
    QList<TableExport::Field> fields;
    for (const int column : columns) {
        const QString identifier = identifierOfColumn(column);
        fields.append({identifier, column, ExportValueRole});
        if (column == SourceColumn || column == DestinationColumn) {
            fields.append({identifier + QLatin1StringView("Address"), column, AddressRole});
            fields.append({identifier + QLatin1StringView("Port"), column, PortRole});
        }
    }
    return fields;
}

StreamTableModel::StreamTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

// Both arrays are in creation order, which is serial order: one merge finds the rows that
// went and the ones that came. Every remaining row then shows its new copy.
void StreamTableModel::setStreams(const std::vector<std::shared_ptr<Stream>> &streams)
{
    removeRowsMissingFrom(streams);
    insertRowsNewIn(streams);
    m_streams = streams;
    for (Cache &cache : m_cache)
        cache.taken.reset();
    if (!m_streams.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void StreamTableModel::removeRowsMissingFrom(const std::vector<std::shared_ptr<Stream>> &streams)
{
    std::vector<bool> keep(m_streams.size(), false);
    std::size_t next = 0;
    for (std::size_t row = 0; row < m_streams.size(); ++row) {
        while (next < streams.size() && streams[next]->serial() < m_streams[row]->serial())
            ++next;
        keep[row] = next < streams.size() && streams[next]->serial() == m_streams[row]->serial();
    }
    for (auto last = static_cast<int>(m_streams.size()) - 1; last >= 0; --last) {
        if (keep[static_cast<std::size_t>(last)])
            continue;
        int first = last;
        while (first > 0 && !keep[static_cast<std::size_t>(first - 1)])
            --first;
        beginRemoveRows({}, first, last);
        m_streams.erase(m_streams.begin() + first, m_streams.begin() + last + 1);
        m_cache.erase(m_cache.begin() + first, m_cache.begin() + last + 1);
        endRemoveRows();
        last = first;
    }
}

void StreamTableModel::insertRowsNewIn(const std::vector<std::shared_ptr<Stream>> &streams)
{
    std::size_t row = 0;
    std::size_t next = 0;
    while (next < streams.size()) {
        if (row < m_streams.size() && m_streams[row]->serial() == streams[next]->serial()) {
            ++row;
            ++next;
            continue;
        }
        std::size_t end = next;
        while (end < streams.size() && (row >= m_streams.size() || streams[end]->serial() != m_streams[row]->serial()))
            ++end;
        beginInsertRows({}, static_cast<int>(row), static_cast<int>(row + (end - next)) - 1);
        m_streams.insert(m_streams.begin() + static_cast<std::ptrdiff_t>(row),
                         streams.begin() + static_cast<std::ptrdiff_t>(next),
                         streams.begin() + static_cast<std::ptrdiff_t>(end));
        m_cache.insert(m_cache.begin() + static_cast<std::ptrdiff_t>(row), end - next, Cache{});
        endInsertRows();
        row += end - next;
        next = end;
    }
}

const QVariant &StreamTableModel::rawValue(int row, int column) const
{
    Cache &cache = m_cache[static_cast<std::size_t>(row)];
    const auto slot = static_cast<std::size_t>(column);
    if (!cache.taken[slot]) {
        cache.values[slot] = m_streams[static_cast<std::size_t>(row)]->value(keyOfColumn(column));
        cache.taken[slot] = true;
    }
    return cache.values[slot];
}

double StreamTableModel::numberAt(int row, int column) const
{
    return rawValue(row, column).toDouble();
}

int StreamTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_streams.size());
}

int StreamTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StreamTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.column(), rawValue(index.row(), index.column()));
    case RawValueRole:
        return rawValue(index.row(), index.column());
    case ExportValueRole:
        return exportValue(index.row(), index.column());
    case AddressRole:
    case PortRole:
        return endpointValue(index.row(), index.column(), role);
    case Qt::ToolTipRole:
        return toolTip(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return isNumeric(index.column()) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                         : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    // A connection that has ended shows for one more cycle, greyed, before it leaves.
    case Qt::ForegroundRole:
        if (m_streams[static_cast<std::size_t>(index.row())]->hasEnded())
            return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

QString StreamTableModel::displayText(int column, const QVariant &value) const
{
    const Stream::Key key = keyOfColumn(column);
    if (isSpeed(key))
        return ByteSpeedFormatter::stringForBytesPerSecond(value.toDouble(), QLocale());
    if (key == Stream::Key::OpenedTime)
        return localDateTime(value.toDouble());
    if (isNumeric(column))
        return stringWithByteSize(value.toULongLong(), QLocale());
    return value.toString();
}

QVariant StreamTableModel::exportValue(int row, int column) const
{
    const QVariant &value = rawValue(row, column);
    if (keyOfColumn(column) == Stream::Key::OpenedTime)
        return isoDateTimeText(Clock::dateTimeFromReference(value.toDouble()));
    return value;
}

QVariant StreamTableModel::endpointValue(int row, int column, int role) const
{
    if (column != SourceColumn && column != DestinationColumn)
        return {};
    const Stream &stream = *m_streams[static_cast<std::size_t>(row)];
    const auto endpoint = (column == SourceColumn ? stream.sourceSide() : stream.destinationSide()).endpoint();
    if (!endpoint)
        return {};
    return role == AddressRole ? QVariant(endpoint->addressText()) : QVariant(static_cast<int>(endpoint->port));
}

// The whole text of a cut cell; for an endpoint, everything known of that end, because a
// host name in the cell hides the address (the local side shows the machine's name).
QString StreamTableModel::toolTip(int row, int column) const
{
    const QString text = displayText(column, rawValue(row, column));
    if (column != SourceColumn && column != DestinationColumn)
        return text.isEmpty() ? QString() : plainToolTip({text});
    const Stream &stream = *m_streams[static_cast<std::size_t>(row)];
    const EndpointText side = column == SourceColumn ? stream.sourceSide() : stream.destinationSide();
    QStringList lines{text};
    if (const auto &endpoint = side.endpoint()) {
        lines << tr("Address: %1").arg(endpoint->addressText()) << tr("Port: %1").arg(endpoint->port);
    }
    if (!side.hostName().isEmpty())
        lines << tr("Host name: %1").arg(side.hostName());
    if (!side.serviceName().isEmpty())
        lines << tr("Service: %1").arg(side.serviceName());
    if (const QString process = stream.process(); !process.isEmpty())
        lines << tr("Program: %1").arg(process);
    return plainToolTip(lines);
}

QVariant StreamTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return tr(kColumns.at(static_cast<std::size_t>(section)).title);
    if (role == Qt::ToolTipRole)
        return identifierOfColumn(section);
    // A first click on a figure shows the largest first: the busiest stream is the one sought.
    if (role == Qt::InitialSortOrderRole)
        return isNumeric(section) ? Qt::DescendingOrder : Qt::AscendingOrder;
    return {};
}
