// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class QAbstractItemModel;
class QWidget;

// A stream table as a file: the rows in the order the model gives them (filtered and
// sorted), the chosen fields in the chosen order, numbers as numbers, and in every row the
// interface and the moment of the export ("interface", "exportTime", ISO 8601 with its
// offset), so a file read later still says what it shows. Texts have their control characters
// replaced (printableText), and in CSV a text that a spreadsheet would take for a formula
// starts with "'". A value the model does not give is an empty CSV field and a JSON null.
class TableExport
{
    Q_DECLARE_TR_FUNCTIONS(TableExport)

public:
    enum class Format { Csv, Json };
    using Writer = std::function<void(const QString &path, Format format)>;
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

    // The save dialog of every export, window-modal over `parent`: CSV or JSON, the name's
    // suffix following the kind chosen. `write` gets the path and the format its suffix says
    // (the kind chosen when it says neither).
    static void openSaveDialog(QWidget *parent, const Writer &write);
};
