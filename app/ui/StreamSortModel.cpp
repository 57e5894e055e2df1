// SPDX-License-Identifier: MIT
#include "ui/StreamSortModel.h"

#include "ui/StreamGroupModel.h"
#include "ui/StreamTableModel.h"

StreamSortModel::StreamSortModel(QAbstractItemModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSourceModel(source);
    setDynamicSortFilter(true);
}

StreamSortModel::StreamSortModel(StreamTableModel *source, QObject *parent)
    : StreamSortModel(static_cast<QAbstractItemModel *>(source), parent)
{
    m_table = source;
}

StreamSortModel::StreamSortModel(StreamGroupModel *source, QObject *parent)
    : StreamSortModel(static_cast<QAbstractItemModel *>(source), parent)
{
    m_groups = source;
    setRecursiveFilteringEnabled(true);
    setAutoAcceptChildRows(true);
}

void StreamSortModel::setFilterText(const QString &text)
{
    if (text == m_filterText)
        return;
    m_filterText = text;
    m_filterWords = SearchWords(text);
    invalidateFilter();
}

// The flat table answers from its cycle's values directly: a sort of thousands of rows asks
// for them many times.
QVariant StreamSortModel::sortValue(const QModelIndex &index) const
{
    if (m_table != nullptr)
        return m_table->rawValue(index.row(), index.column());
    return index.data(StreamTableModel::RawValueRole);
}

bool StreamSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QVariant leftValue = sortValue(left);
    const QVariant rightValue = sortValue(right);
    if (StreamTableModel::isNumeric(left.column()))
        return leftValue.toDouble() < rightValue.toDouble();
    return leftValue.toString().compare(rightValue.toString(), Qt::CaseInsensitive) < 0;
}

bool StreamSortModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_groups == nullptr || m_filterText.isEmpty())
        return true;
    return m_groups->matchesFilter(sourceRow, sourceParent, m_filterWords);
}
