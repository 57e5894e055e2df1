// SPDX-License-Identifier: MIT
#pragma once

#include "model/SearchWords.h"
#include "model/StreamGroup.h"
#include "ui/StreamTableModel.h"

#include <QAbstractItemModel>
#include <QStringList>

#include <memory>
#include <vector>

// The rows of a grouped stream window: one row per group (by program or remote host) with
// its streams' figures summed, its streams beneath it, in the columns of StreamTableModel.
// Groups follow their key and streams their serial across update cycles, so a cycle moves,
// inserts and removes rows instead of resetting the model: the view keeps what is expanded,
// the selection and the scroll position. Only a change of what to group by resets it.
class StreamGroupModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit StreamGroupModel(QObject *parent = nullptr);
    ~StreamGroupModel() override;

    void setGroupBy(StreamGroup::By by);
    StreamGroup::By groupBy() const { return m_by; }
    // Takes a new array of stream copies (in creation order, as the capture publishes them).
    void setStreams(const std::vector<std::shared_ptr<Stream>> &streams);

    // The group a group row shows; null for a stream row.
    const StreamGroup *groupAt(const QModelIndex &index) const;
    // The stream a stream row shows; null for a group row.
    std::shared_ptr<Stream> streamAt(const QModelIndex &index) const;
    // Whether the row matches every word of the search text: a stream row as
    // Stream::matchesFilter, a group row by its label.
    bool matchesFilter(int row, const QModelIndex &parent, const SearchWords &words) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // One group row and its children, at a stable address: a child's index points at it.
    struct GroupRow
    {
        StreamGroup group;
        int position = 0;
        std::vector<std::shared_ptr<Stream>> streams;
        std::vector<StreamTableModel::RowValues> values;
    };

    void removeGroupsMissingFrom(const std::vector<StreamGroup> &groups);
    void mergeStreams(GroupRow &row, const StreamGroup &group);
    void appendGroup(const StreamGroup &group);
    void renumber();
    QVariant groupData(const StreamGroup &group, int column, int role) const;
    GroupRow *parentRow(const QModelIndex &index) const;

    StreamGroup::By m_by = StreamGroup::By::None;
    std::vector<std::unique_ptr<GroupRow>> m_groups;
    std::vector<std::shared_ptr<Stream>> m_streams;
};
