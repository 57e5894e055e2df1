// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <span>

class Stream;
class StreamGroup;

// Copying a row of a stream window's table as one line of text, without the window: the
// window passes what it shows and puts the result on the clipboard itself.
class PasteboardSupport
{
public:
    // Copying is possible when the stream table has the focus and a row is selected
    // (selectedRow is -1 when none is).
    static bool canCopy(bool tableHasFocus, int selectedRow);

    // The selected row's values in the columns' order (column identifiers are stream keys),
    // joined by tabs, with no line feed. A value the stream does not answer is left out
    // with its tab; numbers give their decimal text; control characters in a value are
    // replaced (printableText), so a value never adds a field or a line. Nothing when no row
    // is selected or the row lies beyond the shown streams (the table shrank in an update).
    static std::optional<QString> stringForCopy(const QStringList &columnIdentifiers, int selectedRow,
                                                std::span<const std::shared_ptr<Stream>> streamsArrayDisplay);
    // A group row of a grouped window: the group's own line, then a line per stream shown
    // under it (as stringForCopy gives them, in the order given), joined by line feeds. The
    // group's line has its label where the source goes (ahead of the line when the source is
    // not shown), its sums under the figures, and an empty field under every other text, so
    // its fields stand over its streams' fields.
    static QString stringForGroupCopy(const QStringList &columnIdentifiers, const StreamGroup &group,
                                      std::span<const std::shared_ptr<Stream>> shownStreams);
};
