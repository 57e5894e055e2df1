// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

class Stream;

// What a cell of a stream's row holds for each role, in the flat table and under a group
// alike: its text in the locale's units, its tooltip, its alignment, its export value. The
// columns are StreamTableModel's; the value is the one its model took for this cycle.
class StreamCellText
{
public:
    static QVariant data(const Stream &stream, int column, const QVariant &value, int role);
    // The text the column shows for a value: speeds and byte counts with their units,
    // times as the locale's date and time, texts as they are.
    static QString displayText(int column, const QVariant &value);
    // The value as an exported file holds it: the raw value, but times as ISO 8601 text.
    static QVariant exportValue(int column, const QVariant &value);
    static QVariant alignment(int column);
    // Tooltips take rich text when their first line looks like it; names from the network
    // and programs must never be read as markup, and each of their lines stays one line.
    static QString plainToolTip(const QStringList &lines);

private:
    static QString toolTip(const Stream &stream, int column, const QVariant &value);
    static QVariant endpointValue(const Stream &stream, int column, int role);
};
