// SPDX-License-Identifier: MIT
#include "ui/StreamGroupModel.h"

#include "ui/SerialMerge.h"
#include "ui/StreamCellText.h"

#include <QFont>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>

namespace {

QVariant raw(const StreamGroup &group, int column)
{
    return group.value(StreamTableModel::keyOfColumn(column));
}

} // namespace

StreamGroupModel::StreamGroupModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

StreamGroupModel::~StreamGroupModel() = default;

void StreamGroupModel::setGroupBy(StreamGroup::By by)
{
    if (by == m_by)
        return;
    beginResetModel();
    m_by = by;
    m_groups.clear();
    endResetModel();
    setStreams(m_streams);
}

// Groups that stay keep their row and merge their streams by serial; new groups come last
// (the view sorts them). Every row that stays then shows its new figures.
void StreamGroupModel::setStreams(const std::vector<std::shared_ptr<Stream>> &streams)
{
    m_streams = streams;
    const std::vector<StreamGroup> groups = StreamGroup::grouped(streams, m_by);
    removeGroupsMissingFrom(groups);
    QHash<QString, GroupRow *> rows;
    for (const auto &row : m_groups)
        rows.insert(row->group.key(), row.get());
    for (const StreamGroup &group : groups) {
        if (GroupRow *row = rows.value(group.key()))
            mergeStreams(*row, group);
        else
            appendGroup(group);
    }
    if (m_groups.empty())
        return;
    // A tree view finds each changed row of a range by a search through every row it shows,
    // and a collapsed group's rows after a search through all of them: a change of every
    // stream under every group would cost it thousands of searches a cycle. New figures may
    // reorder rows anyway, so the whole tree is announced as laid out anew; no row moves, so
    // every persistent index (the selection, the open groups) stays as it is.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void StreamGroupModel::removeGroupsMissingFrom(const std::vector<StreamGroup> &groups)
{
    QSet<QString> keys;
    for (const StreamGroup &group : groups)
        keys.insert(group.key());
    const auto missing = [&](int row) { return !keys.contains(m_groups[static_cast<std::size_t>(row)]->group.key()); };
    for (auto last = static_cast<int>(m_groups.size()) - 1; last >= 0; --last) {
        if (!missing(last))
            continue;
        int first = last;
        while (first > 0 && missing(first - 1))
            --first;
        beginRemoveRows({}, first, last);
        m_groups.erase(m_groups.begin() + first, m_groups.begin() + last + 1);
        renumber();
        endRemoveRows();
        last = first;
    }
}

void StreamGroupModel::mergeStreams(GroupRow &row, const StreamGroup &group)
{
    const QModelIndex parent = index(row.position, 0);
    const std::vector<std::shared_ptr<Stream>> &incoming = group.streams();
    mergeBySerial(
        row.streams, incoming,
        [&](int first, int last) {
            beginRemoveRows(parent, first, last);
            row.streams.erase(row.streams.begin() + first, row.streams.begin() + last + 1);
            row.values.erase(row.values.begin() + first, row.values.begin() + last + 1);
            endRemoveRows();
        },
        [&](std::size_t at, std::size_t from, std::size_t to) {
            beginInsertRows(parent, static_cast<int>(at), static_cast<int>(at + (to - from)) - 1);
            row.streams.insert(row.streams.begin() + static_cast<std::ptrdiff_t>(at),
                               incoming.begin() + static_cast<std::ptrdiff_t>(from),
                               incoming.begin() + static_cast<std::ptrdiff_t>(to));
            row.values.insert(row.values.begin() + static_cast<std::ptrdiff_t>(at), to - from, {});
            endInsertRows();
        });
    row.group = group;
    row.streams = incoming;
    for (StreamTableModel::RowValues &values : row.values)
        values.forget();
}

void StreamGroupModel::appendGroup(const StreamGroup &group)
{
    const auto position = static_cast<int>(m_groups.size());
    beginInsertRows({}, position, position);
    m_groups.push_back(std::make_unique<GroupRow>(
        GroupRow{group, position, group.streams(), std::vector<StreamTableModel::RowValues>(group.streams().size())}));
    endInsertRows();
}

void StreamGroupModel::renumber()
{
    for (std::size_t position = 0; position < m_groups.size(); ++position)
        m_groups[position]->position = static_cast<int>(position);
}

StreamGroupModel::GroupRow *StreamGroupModel::parentRow(const QModelIndex &index) const
{
    return static_cast<GroupRow *>(index.internalPointer());
}

const StreamGroup *StreamGroupModel::groupAt(const QModelIndex &index) const
{
    if (!index.isValid() || parentRow(index) != nullptr)
        return nullptr;
    return &m_groups.at(static_cast<std::size_t>(index.row()))->group;
}

std::shared_ptr<Stream> StreamGroupModel::streamAt(const QModelIndex &index) const
{
    const GroupRow *row = index.isValid() ? parentRow(index) : nullptr;
    if (row == nullptr)
        return nullptr;
    return row->streams.at(static_cast<std::size_t>(index.row()));
}

bool StreamGroupModel::matchesFilter(int row, const QModelIndex &parent, const SearchWords &words) const
{
    const QModelIndex at = index(row, 0, parent);
    if (const StreamGroup *group = groupAt(at))
        return words.matches([group](QStringView word) { return group->labelContains(word); });
    const std::shared_ptr<Stream> stream = streamAt(at);
    return stream && words.matches([&stream](QStringView word) { return stream->matchesRawFilter(word); });
}

QModelIndex StreamGroupModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, nullptr);
    return createIndex(row, column, m_groups[static_cast<std::size_t>(parent.row())].get());
}

QModelIndex StreamGroupModel::parent(const QModelIndex &child) const
{
    const GroupRow *row = child.isValid() ? parentRow(child) : nullptr;
    if (row == nullptr)
        return {};
    return createIndex(row->position, 0, nullptr);
}

// Only a group's first cell holds its streams, as a tree view expects.
int StreamGroupModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_groups.size());
    if (parentRow(parent) != nullptr || parent.column() != 0)
        return 0;
    return static_cast<int>(m_groups[static_cast<std::size_t>(parent.row())]->streams.size());
}

int StreamGroupModel::columnCount(const QModelIndex &) const
{
    return StreamTableModel::ColumnCount;
}

QVariant StreamGroupModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    GroupRow *row = parentRow(index);
    if (row == nullptr)
        return groupData(m_groups[static_cast<std::size_t>(index.row())]->group, index.column(), role);
    const auto at = static_cast<std::size_t>(index.row());
    const Stream &stream = *row->streams[at];
    return StreamCellText::data(stream, index.column(), row->values[at].take(stream, index.column()), role);
}

// A group's first cell names it; its figures are its streams' sums; its other texts are
// its streams' own, so they stay empty.
QVariant StreamGroupModel::groupData(const StreamGroup &group, int column, int role) const
{
    const bool named = column == StreamTableModel::SourceColumn;
    const bool numeric = StreamTableModel::isNumeric(column);
    switch (role) {
    case Qt::DisplayRole:
        return named ? group.label() : numeric ? StreamCellText::displayText(column, raw(group, column)) : QString();
    case StreamTableModel::RawValueRole:
        return named ? QVariant(group.label()) : numeric ? raw(group, column) : QVariant(QString());
    case StreamTableModel::ExportValueRole:
        return named ? QVariant(group.label()) : StreamCellText::exportValue(column, raw(group, column));
    case Qt::ToolTipRole:
        if (named)
            return StreamCellText::plainToolTip(
                {group.label(),
                 tr("Streams: %1").arg(QLocale().toString(static_cast<qulonglong>(group.streams().size())))});
        return numeric ? StreamCellText::plainToolTip({StreamCellText::displayText(column, raw(group, column))})
                       : QVariant();
    case Qt::TextAlignmentRole:
        return StreamCellText::alignment(column);
    case Qt::FontRole: {
        QFont font;
        font.setBold(true);
        return font;
    }
    default:
        return {};
    }
}

QVariant StreamGroupModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return StreamTableModel::columnHeader(section, orientation, role);
}
