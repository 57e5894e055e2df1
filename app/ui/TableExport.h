// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class QAbstractItemModel;

// A stream table as a file: the rows in the order the model gives them (filtered and
// sorted), the chosen fields in the chosen order, numbers as numbers, and in every row the
// interface and the moment of the export ("interface", "exportTime", ISO 8601 with its
// offset), so a file read later still says what it shows. Texts have their control characters
// replaced (printableText), and in CSV a text that a spreadsheet would take for a formula
// starts with "'". A value the model does not give is an empty CSV field and a JSON null.
class TableExport
{
public:
    // One field of every row: its name and where the model holds its value.
    struct Field
    {
        QString name;
        int column;
        int role;
    };
    struct Origin
    {
        QString interfaceName;
        QDateTime time;
    };

    static QByteArray toCsv(const QAbstractItemModel &model, const QList<Field> &fields, const Origin &origin);
    static QByteArray toJson(const QAbstractItemModel &model, const QList<Field> &fields, const Origin &origin);
};
