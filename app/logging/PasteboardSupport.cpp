// SPDX-License-Identifier: MIT
#include "logging/PasteboardSupport.h"

#include "model/PrintableText.h"
#include "model/Stream.h"
#include "model/StreamGroup.h"
#include "model/ValueText.h"

bool PasteboardSupport::canCopy(bool tableHasFocus, int selectedRow)
{
    return tableHasFocus && selectedRow != -1;
}

std::optional<QString> PasteboardSupport::stringForCopy(const QStringList &columnIdentifiers, int selectedRow,
                                                        std::span<const std::shared_ptr<Stream>> streamsArrayDisplay)
{
    if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= streamsArrayDisplay.size())
        return std::nullopt;
    const std::shared_ptr<Stream> &stream = streamsArrayDisplay[static_cast<size_t>(selectedRow)];
    if (!stream)
        return std::nullopt;
    QStringList fields;
    for (const QString &identifier : columnIdentifiers) {
        const QVariant value = stream->valueForKey(identifier);
        if (value.isValid())
            fields.append(printableText(textOfValue(value)));
    }
    return fields.join(u'\t');
}

QString PasteboardSupport::stringForGroupCopy(const QStringList &columnIdentifiers, const StreamGroup &group,
                                              std::span<const std::shared_ptr<Stream>> shownStreams)
{
    const QString source = Stream::keyName(Stream::Key::Source);
    QStringList fields;
    if (!columnIdentifiers.contains(source))
        fields.append(printableText(group.label()));
    for (const QString &identifier : columnIdentifiers) {
        const std::optional<Stream::Key> key = Stream::keyNamed(identifier);
        if (!key)
            continue;
        fields.append(identifier == source ? printableText(group.label()) : textOfValue(group.value(*key)));
    }
    QStringList lines{fields.join(u'\t')};
    for (std::size_t row = 0; row < shownStreams.size(); ++row) {
        if (const auto line = stringForCopy(columnIdentifiers, static_cast<int>(row), shownStreams))
            lines.append(*line);
    }
    return lines.join(u'\n');
}
