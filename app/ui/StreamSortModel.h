// SPDX-License-Identifier: MIT
#pragma once

#include "model/SearchWords.h"

#include <QSortFilterProxyModel>
#include <QString>

class StreamGroupModel;
class StreamTableModel;

// Sorting for a stream window: numbers by value (so 9 kB sorts below 10 kB), texts
// without regard to case, read from the values the model took for this cycle. Over the
// grouped tree, groups sort among themselves and streams within their group.
//
// The flat table comes filtered by its capture; the tree is filtered here, by the same
// search words: a stream row stays when it matches them all, a group row when its label
// does (then with all its streams) or when any of its streams stays.
class StreamSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit StreamSortModel(StreamTableModel *source, QObject *parent = nullptr);
    explicit StreamSortModel(StreamGroupModel *source, QObject *parent = nullptr);

    // The search text, split at every single space as the capture splits it.
    void setFilterText(const QString &text);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    StreamSortModel(QAbstractItemModel *source, QObject *parent);
    QVariant sortValue(const QModelIndex &index) const;

    StreamTableModel *m_table = nullptr;
    StreamGroupModel *m_groups = nullptr;
    QString m_filterText;
    SearchWords m_filterWords{QString()}; // m_filterText's, read once
};
