// SPDX-License-Identifier: MIT
#pragma once

#include <QSortFilterProxyModel>

class StreamTableModel;

// Sorting for a stream window: numbers by value (so 9 kB sorts below 10 kB), texts
// without regard to case, read from the values the table model took for this cycle.
class StreamSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit StreamSortModel(StreamTableModel *source, QObject *parent = nullptr);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    StreamTableModel *m_source;
};
