// SPDX-License-Identifier: MIT
#include "logging/StreamEventLog.h"

#include "logging/FILEAppendWrapper.h"
#include "model/PrintableText.h"
#include "model/Stream.h"
#include "model/ValueText.h"
#include "platform/SystemLog.h"

#include <pthread.h>

#include <system_error>
#include <utility>

namespace {

QString textForKey(const Stream &stream, const QString &keyName, std::optional<int> key)
{
    if (!key)
        return QStringLiteral("***EXCEPTION: Stream has no value for the key \"") + keyName + QStringLiteral("\"***");
    return printableText(textOfValue(stream.value(static_cast<Stream::Key>(*key))));
}

// The line a template gives for a stream, line feed included. Assembled whole so that it
// can be written in one piece: it never mixes with lines of captures sharing the file. A
// key the stream does not answer shows a message in place of its value and the line keeps
// its shape. The template's own text is written as the person typed it; the values, which
// others can choose (a program's name, a host name), never start a line of their own.
template <typename Template> QByteArray logLine(const Template &parsed, const Stream &stream)
{
    QString line;
    line.reserve(256);
    for (std::size_t i = 0; i < parsed.format.records.size(); ++i) {
        const LogFormat::Record &record = parsed.format.records[i];
        line += record.literal;
        if (record.key)
            line += textForKey(stream, *record.key, parsed.keys[i]);
    }
    QByteArray bytes = line.toUtf8();
    bytes += '\n';
    return bytes;
}

} // namespace

StreamEventLog::~StreamEventLog()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_closing = true;
    }
    m_linesQueued.notify_one();
    if (m_maker.joinable())
        m_maker.join();
}

bool StreamEventLog::startLoggingToFile(const QString &path, QString *failure)
{
    if (isLogging())
        return false;
    std::shared_ptr<FILEAppendWrapper> wrapper = FILEAppendWrapper::wrapperAtPath(path, failure);
    if (!wrapper)
        return false;
    std::lock_guard lock(m_stateMutex);
    if (m_logfileWrapper)
        return false;
    try {
        if (!m_maker.joinable())
            m_maker = std::thread(&StreamEventLog::makeInThread, this);
    } catch (const std::system_error &error) {
        if (failure != nullptr)
            *failure = QString::fromLocal8Bit(error.what());
        return false;
    }
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
    QueuedLine line = lineFor(m_logFormatNewStream);
    if (!line.file)
        return;
    line.stream = stream.copy();
    std::vector<QueuedLine> lines;
    lines.push_back(std::move(line));
    queue(std::move(lines));
}

void StreamEventLog::queueRemovedStreams(std::span<const std::shared_ptr<const Stream>> streams)
{
    const QueuedLine line = lineFor(m_logFormatStreamClosed);
    if (!line.file || streams.empty())
        return;
    std::vector<QueuedLine> lines;
    lines.reserve(streams.size());
    for (const std::shared_ptr<const Stream> &stream : streams)
        lines.push_back({line.file, line.format, stream});
    queue(std::move(lines));
}

void StreamEventLog::writeQueuedLines()
{
    {
        std::lock_guard lock(m_stateMutex);
        if (m_queued.empty())
            return;
    }
    m_linesQueued.notify_one();
}

// The queue is taken whole each time, so lines keep the order in which they were queued.
void StreamEventLog::makeInThread()
{
    pthread_setname_np(pthread_self(), "qm-log-lines");
    std::unique_lock lock(m_stateMutex);
    for (;;) {
        m_linesQueued.wait(lock, [this] { return !m_queued.empty() || m_closing; });
        if (m_queued.empty())
            return;
        const std::vector<QueuedLine> queued = std::exchange(m_queued, {});
        lock.unlock();
        makeLines(queued);
        lock.lock();
    }
}

// A failed write is not reported: the event has happened and logging goes on. Consecutive
// lines for one file go to it together, in pieces of whole lines.
void StreamEventLog::makeLines(const std::vector<QueuedLine> &queued)
{
    constexpr qsizetype kPieceBytes = 64 * 1024;
    std::lock_guard writing(m_writeMutex);
    QByteArray piece;
    quint64 lines = 0;
    for (std::size_t i = 0; i < queued.size(); ++i) {
        piece += logLine(*queued[i].format, *queued[i].stream);
        ++lines;
        if (i + 1 == queued.size() || queued[i + 1].file != queued[i].file || piece.size() >= kPieceBytes) {
            deliver(*queued[i].file, piece, lines, Announced::Yes);
            piece.clear();
            lines = 0;
        }
    }
}

void StreamEventLog::logNewStream(const Stream &stream)
{
    logNow(m_logFormatNewStream, stream);
}

void StreamEventLog::logRemovedStream(const Stream &stream)
{
    logNow(m_logFormatStreamClosed, stream);
}

quint64 StreamEventLog::droppedLines() const
{
    return m_droppedLines.load();
}

void StreamEventLog::logNow(const FormatPointer &slot, const Stream &stream)
{
    const QueuedLine line = lineFor(slot);
    if (!line.file)
        return;
    std::lock_guard writing(m_writeMutex);
    deliver(*line.file, logLine(*line.format, stream), 1, Announced::No);
}

// The system log hears once when lines start being dropped and once, with their number, when
// the file takes them again, however many come in between.
void StreamEventLog::deliver(FILEAppendWrapper &file, const QByteArray &lines, quint64 count, Announced announced)
{
    const bool taken = announced == Announced::Yes ? file.appendExpectedLines(lines, static_cast<qsizetype>(count))
                                                   : file.appendLine(lines);
    if (!taken) {
        if (m_droppedInARow == 0)
            systemLog(QStringLiteral("Lines for the log file %1 are being dropped: it takes them more slowly than "
                                     "they come")
                          .arg(file.path()));
        m_droppedInARow += count;
        m_droppedLines += count;
    } else if (m_droppedInARow > 0) {
        systemLog(QStringLiteral("%1 lines for the log file %2 were dropped").arg(m_droppedInARow).arg(file.path()));
        m_droppedInARow = 0;
    }
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
    if (logTemplate) {
        ParsedTemplate made{getLogFormat(*logTemplate), {}};
        for (const LogFormat::Record &record : made.format.records) {
            const std::optional<Stream::Key> key = record.key ? Stream::keyNamed(*record.key) : std::nullopt;
            made.keys.push_back(key ? std::optional<int>(static_cast<int>(*key)) : std::nullopt);
        }
        parsed = std::make_shared<const ParsedTemplate>(std::move(made));
    }
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
    return logFormatStringForStruct(format->format);
}

StreamEventLog::QueuedLine StreamEventLog::lineFor(const FormatPointer &slot)
{
    std::lock_guard lock(m_stateMutex);
    if (!m_logfileWrapper || !slot)
        return {};
    return {m_logfileWrapper, slot, nullptr};
}

// Every line of one call goes to the same file; it hears of them now, so that waiting for it
// waits for them too.
void StreamEventLog::queue(std::vector<QueuedLine> lines)
{
    std::lock_guard lock(m_stateMutex);
    if (m_queued.size() + lines.size() > kMaximumQueuedLines) {
        m_droppedLines += lines.size();
        return;
    }
    lines.front().file->expectLines(static_cast<qsizetype>(lines.size()));
    if (m_queued.empty())
        m_queued = std::move(lines);
    else
        m_queued.insert(m_queued.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
}
