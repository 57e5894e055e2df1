#include "logging/StreamEventLog.h"

#include "logging/FILEAppendWrapper.h"
#include "model/Stream.h"
#include "model/ValueText.h"

namespace {

QString textForKey(const Stream &stream, const QString &keyName)
{
    const std::optional<Stream::Key> key = Stream::keyNamed(keyName);
    if (!key)
        return QStringLiteral("***EXCEPTION: Stream has no value for the key \"") + keyName + QStringLiteral("\"***");
    return textOfValue(stream.value(*key));
}

// The line a template gives for a stream, line feed included. Assembled whole so that it
// can be written in one piece: it never mixes with lines of captures sharing the file. A
// key the stream does not answer shows a message in place of its value and the line keeps
// its shape.
QByteArray logLine(const LogFormat &format, const Stream &stream)
{
    QString line;
    for (const LogFormat::Record &record : format.records) {
        line += record.literal;
        if (record.key)
            line += textForKey(stream, *record.key);
    }
    QByteArray bytes = line.toUtf8();
    bytes += '\n';
    return bytes;
}

} // namespace

bool StreamEventLog::startLoggingToFile(const QString &path)
{
    if (isLogging())
        return false;
    std::shared_ptr<FILEAppendWrapper> wrapper = FILEAppendWrapper::wrapperAtPath(path);
    if (!wrapper)
        return false;
    std::lock_guard lock(m_stateMutex);
    if (m_logfileWrapper)
        return false;
    m_logfileWrapper = std::move(wrapper);
    return true;
}

void StreamEventLog::stopLogging()
{
    std::shared_ptr<FILEAppendWrapper> released;
    std::lock_guard lock(m_stateMutex);
    // Let go outside the lock: the last holder closes the file.
    released.swap(m_logfileWrapper);
}

bool StreamEventLog::isLogging() const
{
    std::lock_guard lock(m_stateMutex);
    return m_logfileWrapper != nullptr;
}

void StreamEventLog::queueNewStream(const Stream &stream)
{
    queueWithFormat(m_logFormatNewStream, stream);
}

void StreamEventLog::queueRemovedStream(const Stream &stream)
{
    queueWithFormat(m_logFormatStreamClosed, stream);
}

void StreamEventLog::logNewStream(const Stream &stream)
{
    queueNewStream(stream);
    writeQueuedLines();
}

void StreamEventLog::logRemovedStream(const Stream &stream)
{
    queueRemovedStream(stream);
    writeQueuedLines();
}

// A failed write is not reported: the event has happened and logging goes on.
void StreamEventLog::writeQueuedLines()
{
    std::lock_guard writing(m_writeMutex);
    std::vector<QueuedLines> queued;
    {
        std::lock_guard lock(m_stateMutex);
        queued.swap(m_queued);
    }
    for (const QueuedLines &lines : queued)
        lines.file->appendLine(lines.bytes);
}

void StreamEventLog::setLogFormatNewStream(const std::optional<QString> &logTemplate)
{
    setFormat(m_logFormatNewStream, logTemplate);
}

std::optional<QString> StreamEventLog::logFormatNewStream() const
{
    return formatText(m_logFormatNewStream);
}

void StreamEventLog::setLogFormatStreamClosed(const std::optional<QString> &logTemplate)
{
    setFormat(m_logFormatStreamClosed, logTemplate);
}

std::optional<QString> StreamEventLog::logFormatStreamClosed() const
{
    return formatText(m_logFormatStreamClosed);
}

void StreamEventLog::setFormat(FormatPointer &slot, const std::optional<QString> &logTemplate)
{
    FormatPointer parsed;
    if (logTemplate)
        parsed = std::make_shared<const LogFormat>(getLogFormat(*logTemplate));
    std::lock_guard lock(m_stateMutex);
    // The old template goes when the last line using it is done; usually right here.
    slot.swap(parsed);
}

std::optional<QString> StreamEventLog::formatText(const FormatPointer &slot) const
{
    FormatPointer format;
    {
        std::lock_guard lock(m_stateMutex);
        format = slot;
    }
    if (!format)
        return std::nullopt;
    return logFormatStringForStruct(*format);
}

void StreamEventLog::queueWithFormat(const FormatPointer &slot, const Stream &stream)
{
    std::shared_ptr<FILEAppendWrapper> wrapper;
    FormatPointer format;
    {
        std::lock_guard lock(m_stateMutex);
        wrapper = m_logfileWrapper;
        format = slot;
    }
    if (!wrapper || !format)
        return;
    QByteArray line = logLine(*format, stream);
    std::lock_guard lock(m_stateMutex);
    if (!m_queued.empty() && m_queued.back().file == wrapper)
        m_queued.back().bytes += line;
    else
        m_queued.push_back({std::move(wrapper), std::move(line)});
}
