// SPDX-License-Identifier: MIT
#pragma once

#include "model/Stream.h"
#include "ui/TableExport.h"

#include <QAbstractTableModel>

#include <array>
#include <bitset>
#include <memory>
#include <vector>

// The rows of a stream window: the capture's display array, one row per stream copy, one
// column per Stream key. Rows follow streams by serial number, so an update cycle moves,
// inserts and removes rows instead of resetting the model, and the view keeps its selection
// and scroll position. A value is read from its stream once per cycle (speeds read the clock
// on every call), at the first time it is asked for.
class StreamTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        SourceColumn,
        DestinationColumn,
        ProtocolColumn,
        ProcessColumn,
        UpSpeedColumn,
        DownSpeedColumn,
        UpPayloadColumn,
        DownPayloadColumn,
        AverageUpSpeedColumn,
        AverageDownSpeedColumn,
        OpenedColumn,
        UpBytesColumn,
        DownBytesColumn,
        IntervalUpBytesColumn,
        IntervalDownBytesColumn,
        ColumnCount
    };
    // The value as a number (or text, for text columns), for sorting and export.
    static constexpr int RawValueRole = Qt::UserRole + 1;
    // The value as an exported file holds it: the raw value, but times as ISO 8601 text.
    static constexpr int ExportValueRole = Qt::UserRole + 2;
    // An endpoint column's address text and port number; nothing for the catch-all stream.
    static constexpr int AddressRole = Qt::UserRole + 3;
    static constexpr int PortRole = Qt::UserRole + 4;

    // The Stream key a column shows; its name is the column's identifier.
    static Stream::Key keyOfColumn(int column);
    static QString identifierOfColumn(int column);
    static bool isShownByDefault(int column);
    static bool isNumeric(int column);
    // A column's title, identifier and first sort order, for every model in these columns.
    static QVariant columnHeader(int section, Qt::Orientation orientation, int role);
    // What an export of these columns writes: each column under its identifier, an endpoint
    // column followed by its address and port ("sourceAddress", "sourcePort").
    static QList<TableExport::Field> exportFields(const QList<int> &columns);

    // The values of one row, each read from its stream at most once per cycle.
    class RowValues
    {
    public:
        const QVariant &take(const Stream &stream, int column);
        void forget() { m_taken.reset(); }

    private:
        std::array<QVariant, ColumnCount> m_values;
        std::bitset<ColumnCount> m_taken;
    };

    explicit StreamTableModel(QObject *parent = nullptr);

    // Takes a new display array (streams in creation order, as the capture publishes them).
    void setStreams(const std::vector<std::shared_ptr<Stream>> &streams);
    const std::vector<std::shared_ptr<Stream>> &streams() const { return m_streams; }
    // The value a cell shows, taken once per cycle.
    const QVariant &rawValue(int row, int column) const;
    double numberAt(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<std::shared_ptr<Stream>> m_streams;
    mutable std::vector<RowValues> m_cache;
};
