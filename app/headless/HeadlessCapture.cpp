// SPDX-License-Identifier: MIT
#include "headless/HeadlessCapture.h"

#include "capture/StreamCapture.h"
#include "headless/StreamTableText.h"
#include "logging/QueuedWriter.h"
#include "model/Stream.h"
#include "model/StreamGroup.h"
#include "platform/EndingSignals.h"
#include "platform/MainThreadDelivery.h"
#include "platform/Preferences.h"
#include "platform/TerminalSize.h"
#include "tools/common/OwnedDescriptor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

void printError(const QString &message)
{
    const QByteArray line = "quillmere: " + message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

// What a person without a desktop session can do when the tool needs installing.
QString installationHint()
{
    if (geteuid() == 0)
        return {};
    return QCoreApplication::translate("HeadlessCapture",
                                       "The capture tool is installed with an administrator's approval. Run Quillmere "
                                       "once as root (for example with sudo), or start a terminal password agent "
                                       "(pkttyagent) in this session, and try again.");
}

} // namespace

HeadlessCapture::HeadlessCapture(const CommandLineOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_capture(std::make_unique<StreamCapture>())
{
    connect(m_capture.get(), &StreamCapture::streamsArrayDisplayChanged, this, &HeadlessCapture::printTable);
    connect(m_capture.get(), &StreamCapture::captureError, this, &HeadlessCapture::fail);
    connect(new EndingSignals(this), &EndingSignals::quitRequested, this, &HeadlessCapture::endWhenStarted);
}

HeadlessCapture::~HeadlessCapture() = default;

std::optional<int> HeadlessCapture::start()
{
    // A reader of our output that goes away must end the run, not kill it.
    std::signal(SIGPIPE, SIG_IGN);
    startOutput();
    if (m_options.interval)
        Preferences::shared().overrideForThisRun(Preferences::UpdateInterval, *m_options.interval);
    if (m_options.noHistory)
        Preferences::shared().overrideForThisRun(Preferences::HistoryEnabled, false);
    else if (!m_options.historyPath.isEmpty())
        Preferences::shared().overrideForThisRun(Preferences::HistoryPath, m_options.historyPath);
    // The log is opened first: nobody should be asked for a password for a run that cannot
    // go on.
    if (QString failure; !m_options.logPath.isEmpty() && !m_capture->startLoggingToFile(m_options.logPath, &failure)) {
        printError(tr("Cannot log to %1: %2").arg(m_options.logPath, failure));
        return 1;
    }
    m_starting = true;
    const bool started = m_capture->setInterface(m_options.interfaceName);
    m_starting = false;
    if (!started) {
        const QString failure = m_capture->startFailure();
        printError(failure.isEmpty() ? tr("The capture was not started: the password dialog was cancelled.") : failure);
        // Other failures say themselves what can be done.
        if (const QString hint = installationHint(); failure.isEmpty() && !hint.isEmpty())
            printError(hint);
        return 1;
    }
    if (m_endPending)
        QMetaObject::invokeMethod(this, &HeadlessCapture::endWhenStarted, Qt::QueuedConnection);
    return std::nullopt;
}

// Ending in the middle of the start would stop the installation's local event loop and the
// capture before it stands; so the end waits for the start, and comes from the event loop.
void HeadlessCapture::endWhenStarted()
{
    if (m_starting) {
        m_endPending = true;
        return;
    }
    end(0);
}

// The writer has a descriptor of its own, so standard output stays as it was for the rest
// of the program. A reader that has gone ends the run, as soon as a write finds it gone.
void HeadlessCapture::startOutput()
{
    const QPointer<HeadlessCapture> self(this);
    m_output = std::make_unique<QueuedWriter>(OwnedDescriptor(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0)), [self] {
        MainThreadDelivery::post([self] {
            if (self)
                self->end(0);
        });
    });
}

void HeadlessCapture::printTable()
{
    const auto streams = StreamTableText::bySpeed(m_capture->streamsArrayDisplay());
    const bool grouped = m_options.groupBy != StreamGroup::By::None;
    const auto groups = grouped ? StreamTableText::bySpeed(StreamGroup::grouped(streams, m_options.groupBy))
                                : std::vector<StreamGroup>{};
    const quint64 folded = m_capture->totals().foldedRecords;
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray text;
    if (m_options.json && grouped) {
        for (const StreamGroup &group : groups)
            text += StreamTableText::groupJsonLine(group, m_options.interfaceName, now, folded) + '\n';
    } else if (m_options.json) {
        for (const auto &stream : streams)
            text += StreamTableText::jsonLine(*stream, m_options.interfaceName, now, folded) + '\n';
    } else {
        // A terminal shows the newest table in place, as top does; a pipe or file keeps every
        // interval, a blank line between them.
        const TerminalSize size = TerminalSize::of(STDOUT_FILENO);
        if (size.isTerminal)
            text += "\x1b[H\x1b[2J";
        else if (!m_first)
            text += '\n';
        text += (grouped ? StreamTableText::groupedTextBlock(groups, m_options.interfaceName, now, folded, size)
                         : StreamTableText::textBlock(streams, m_options.interfaceName, now, folded, size))
                    .toUtf8();
    }
    m_first = false;
    m_output->append(text);
    tellHistoryStatus();
}

// Once the store has opened or failed to: where history goes, or why it does not. What
// happens to it later reaches the system log, as the store tells it.
void HeadlessCapture::tellHistoryStatus()
{
    const std::optional<HistoryStore::Status> status = m_capture->historyStatus();
    if (m_historyTold || !status || status->state == HistoryStore::State::Opening)
        return;
    m_historyTold = true;
    printError(status->message.isEmpty() ? tr("History is kept in %1.").arg(status->path) : status->message);
}

void HeadlessCapture::fail(const QString &message)
{
    printError(message);
    end(1);
}

void HeadlessCapture::end(int status)
{
    m_capture->stopLogging();
    m_capture->shutdown();
    QCoreApplication::exit(status);
}
