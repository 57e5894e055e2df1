// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>

class QAbstractItemModel;

// A stream table as a file: the rows in the order the model gives them (filtered and
// sorted), the chosen columns in the chosen order, each column named by its identifier
// (the Stream key it shows), numbers as numbers. Texts have their control characters replaced
// (printableText), and in CSV a text that a spreadsheet would take for a formula starts with
// "'".
class TableExport
{
public:
    // `columns` are model columns; the model gives a column's identifier as its header's
    // tool tip and its value in `valueRole`.
    static QByteArray toCsv(const QAbstractItemModel &model, const QList<int> &columns, int valueRole);
    static QByteArray toJson(const QAbstractItemModel &model, const QList<int> &columns, int valueRole);
};
