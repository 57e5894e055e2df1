// SPDX-License-Identifier: MIT
#include "logging/LogFormat.h"

namespace {

constexpr QStringView kDelimiter = u"__";

// Reads a template front to back with "__" as the only delimiter; skips no characters.
class TemplateScanner
{
public:
    explicit TemplateScanner(const QString &text)
        : m_text(text)
    {
    }

    bool atEnd() const { return m_position >= m_text.size(); }

    // The characters before the next "__", or before the end; fails on zero characters.
    std::optional<QString> scanUpToDelimiter()
    {
        qsizetype next = m_text.indexOf(kDelimiter, m_position);
        if (next < 0)
            next = m_text.size();
        if (next == m_position)
            return std::nullopt;
        QString scanned = m_text.mid(m_position, next - m_position);
        m_position = next;
        return scanned;
    }

    bool skipDelimiter()
    {
        if (!QStringView(m_text).sliced(m_position).startsWith(kDelimiter))
            return false;
        m_position += kDelimiter.size();
        return true;
    }

    QString rest() const { return m_text.sliced(m_position); }

private:
    const QString &m_text;
    qsizetype m_position = 0;
};

} // namespace

LogFormat getLogFormat(const QString &logTemplate)
{
    LogFormat format;
    TemplateScanner scanner(logTemplate);
    while (!scanner.atEnd()) {
        QString literal = scanner.scanUpToDelimiter().value_or(QString());
        if (!scanner.skipDelimiter()) {
            format.records.push_back({std::move(literal), std::nullopt});
            return format;
        }
        std::optional<QString> key = scanner.scanUpToDelimiter();
        if (!key || !scanner.skipDelimiter())
            break;
        format.records.push_back({std::move(literal), std::move(key)});
    }
    format.records.push_back({scanner.rest(), std::nullopt});
    return format;
}

QString logFormatStringForStruct(const LogFormat &format)
{
    QString text;
    for (const LogFormat::Record &record : format.records) {
        text += record.literal;
        if (record.key) {
            text += kDelimiter;
            text += *record.key;
            text += kDelimiter;
        }
    }
    return text;
}
