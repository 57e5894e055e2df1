// SPDX-License-Identifier: MIT
#include "ui/StreamTableModel.h"

#include "ui/SerialMerge.h"
#include "ui/StreamCellText.h"

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

// Every row that stays then shows its new copy.
void StreamTableModel::setStreams(const std::vector<std::shared_ptr<Stream>> &streams)
{
    mergeBySerial(
        m_streams, streams,
        [this](int first, int last) {
            beginRemoveRows({}, first, last);
            m_streams.erase(m_streams.begin() + first, m_streams.begin() + last + 1);
            m_cache.erase(m_cache.begin() + first, m_cache.begin() + last + 1);
            endRemoveRows();
        },
        [this, &streams](std::size_t row, std::size_t from, std::size_t to) {
            beginInsertRows({}, static_cast<int>(row), static_cast<int>(row + (to - from)) - 1);
            m_streams.insert(m_streams.begin() + static_cast<std::ptrdiff_t>(row),
                             streams.begin() + static_cast<std::ptrdiff_t>(from),
                             streams.begin() + static_cast<std::ptrdiff_t>(to));
            m_cache.insert(m_cache.begin() + static_cast<std::ptrdiff_t>(row), to - from, RowValues{});
            endInsertRows();
        });
    m_streams = streams;
    for (RowValues &cache : m_cache)
        cache.forget();
    if (!m_streams.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

const QVariant &StreamTableModel::RowValues::take(const Stream &stream, int column)
{
    const auto slot = static_cast<std::size_t>(column);
    if (!m_taken[slot]) {
        m_values[slot] = stream.value(keyOfColumn(column));
        m_taken[slot] = true;
    }
    return m_values[slot];
}

const QVariant &StreamTableModel::rawValue(int row, int column) const
{
    const auto at = static_cast<std::size_t>(row);
    return m_cache[at].take(*m_streams[at], column);
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
    return StreamCellText::data(*m_streams[static_cast<std::size_t>(index.row())], index.column(),
                                rawValue(index.row(), index.column()), role);
}

QVariant StreamTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return columnHeader(section, orientation, role);
}

QVariant StreamTableModel::columnHeader(int section, Qt::Orientation orientation, int role)
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
