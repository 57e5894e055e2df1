// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryQuery.h"
#include "history/HistoryReport.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <optional>
#include <vector>

// The rows of the History window: what a question to history answered, as the report's table
// (the columns `quillmere history` prints), in the order it came (most bytes first), less
// the rows the search words leave out. Each row keeps its group, so the window can chart it.
class HistoryTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit HistoryTableModel(QObject *parent = nullptr);

    void setGroups(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping);
    void setStreams(const std::vector<HistoryRecord> &streams);
    void clear();
    // The live table's search words, over the texts of every row.
    void setSearch(const QString &text);

    // The group of a shown row; none for a stream.
    std::optional<HistoryQuery::GroupKey> groupAt(int row) const;
    // The shown rows (all, or those given), for copying and export.
    HistoryReport::Table shownTable(const QList<int> &rows = {}) const;
    int allRowCount() const { return static_cast<int>(m_table.rows.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void show(HistoryReport::Table table, std::vector<std::optional<HistoryQuery::GroupKey>> keys);
    void refilter();

    HistoryReport::Table m_table;
    std::vector<std::optional<HistoryQuery::GroupKey>> m_keys;
    std::vector<QStringList> m_searchTexts; // each row's texts as shown
    std::vector<int> m_shown;               // rows of m_table the search leaves
    QString m_search;
};
