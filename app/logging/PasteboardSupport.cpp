// SPDX-License-Identifier: MIT
#include "logging/PasteboardSupport.h"

#include "model/PrintableText.h"
#include "model/Stream.h"
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
