// SPDX-License-Identifier: MIT
#include "ui/StreamSortModel.h"

#include "ui/StreamTableModel.h"

StreamSortModel::StreamSortModel(StreamTableModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
    setDynamicSortFilter(true);
}

bool StreamSortModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    if (StreamTableModel::isNumeric(column))
        return m_source->numberAt(left.row(), column) < m_source->numberAt(right.row(), column);
    return m_source->rawValue(left.row(), column)
               .toString()
               .compare(m_source->rawValue(right.row(), column).toString(), Qt::CaseInsensitive)
        < 0;
}
