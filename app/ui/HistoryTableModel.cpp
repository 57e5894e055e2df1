// SPDX-License-Identifier: MIT
#include "ui/HistoryTableModel.h"

#include "model/SearchWords.h"

namespace {
bool isNumber(HistoryReport::Kind kind)
{
    return kind == HistoryReport::Kind::Bytes || kind == HistoryReport::Kind::Count;
}
} // namespace

HistoryTableModel::HistoryTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void HistoryTableModel::setGroups(const std::vector<HistoryQuery::Group> &groups, HistoryQuery::Grouping grouping)
{
    std::vector<std::optional<HistoryQuery::GroupKey>> keys;
    for (const HistoryQuery::Group &group : groups)
        keys.emplace_back(group.key);
    show(HistoryReport::groupTable(groups, grouping), std::move(keys));
}

void HistoryTableModel::setStreams(const std::vector<HistoryRecord> &streams)
{
    show(HistoryReport::streamTable(streams), std::vector<std::optional<HistoryQuery::GroupKey>>(streams.size()));
}

void HistoryTableModel::clear()
{
    show({}, {});
}

// The texts a person sees are what the words are looked for in, numbers aside.
void HistoryTableModel::show(HistoryReport::Table table, std::vector<std::optional<HistoryQuery::GroupKey>> keys)
{
    beginResetModel();
    m_table = std::move(table);
    m_keys = std::move(keys);
    m_searchTexts.clear();
    for (const QVariantList &row : m_table.rows) {
        QStringList texts;
        for (std::size_t column = 0; column < m_table.columns.size(); ++column) {
            const HistoryReport::Kind kind = m_table.columns[column].kind;
            if (kind == HistoryReport::Kind::Text)
                texts << HistoryReport::shown(row.at(qsizetype(column)), kind);
        }
        m_searchTexts.push_back(texts);
    }
    refilter();
    endResetModel();
}

void HistoryTableModel::setSearch(const QString &text)
{
    beginResetModel();
    m_search = text;
    refilter();
    endResetModel();
}

void HistoryTableModel::refilter()
{
    const SearchWords words(m_search);
    m_shown.clear();
    for (std::size_t row = 0; row < m_searchTexts.size(); ++row) {
        if (words.matchesAnyOf(m_searchTexts[row]))
            m_shown.push_back(static_cast<int>(row));
    }
}

std::optional<HistoryQuery::GroupKey> HistoryTableModel::groupAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    return m_keys[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(row)])];
}

HistoryReport::Table HistoryTableModel::shownTable(const QList<int> &rows) const
{
    HistoryReport::Table table{m_table.columns, {}};
    const auto add = [&](int row) {
        table.rows.push_back(m_table.rows[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(row)])]);
    };
    if (rows.isEmpty()) {
        for (int row = 0; row < rowCount(); ++row)
            add(row);
    }
    for (const int row : rows) {
        if (row >= 0 && row < rowCount())
            add(row);
    }
    return table;
}

int HistoryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_shown.size());
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_table.columns.size());
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const HistoryReport::Kind kind = m_table.columns[static_cast<std::size_t>(index.column())].kind;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (isNumber(kind) ? Qt::AlignRight : Qt::AlignLeft));
    if (role != Qt::DisplayRole)
        return {};
    const QVariantList &row = m_table.rows[static_cast<std::size_t>(m_shown[static_cast<std::size_t>(index.row())])];
    return HistoryReport::shown(row.at(index.column()), kind);
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    return m_table.columns[static_cast<std::size_t>(section)].title;
}
