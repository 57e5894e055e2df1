// SPDX-License-Identifier: MIT
// Any text is a template: parsing never fails, ends with one key-less record, and every
// key it finds is a real token (not empty, no delimiter inside).
#include "logging/LogFormat.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString logTemplate = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const LogFormat format = getLogFormat(logTemplate);
    if (format.records.empty() || format.records.back().key.has_value())
        std::abort();
    for (const LogFormat::Record &record : format.records) {
        if (record.key && (record.key->isEmpty() || record.key->contains(QStringLiteral("__"))))
            std::abort();
    }
    if (logFormatStringForStruct(format).size() > logTemplate.size())
        std::abort();
    return 0;
}
