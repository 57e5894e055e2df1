// SPDX-License-Identifier: MIT
#include "HeadlessCapture.h"

#include "StreamTableText.h"
#include "capture/StreamCapture.h"
#include "model/Stream.h"
#include "platform/Preferences.h"
#include "tools/common/OwnedDescriptor.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
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
}

HeadlessCapture::~HeadlessCapture()
{
    if (m_signalDescriptor >= 0)
        ::close(m_signalDescriptor);
}

std::optional<int> HeadlessCapture::start()
{
    // A reader of our output that goes away must end the run, not kill it.
    std::signal(SIGPIPE, SIG_IGN);
    watchEndingSignals();
    if (m_options.interval)
        Preferences::shared().overrideForThisRun(Preferences::UpdateInterval, *m_options.interval);
    // The log is checked first: nobody should be asked for a password for a run that
    // cannot go on.
    if (!m_options.logPath.isEmpty()) {
        QFile probe(m_options.logPath);
        if (!probe.open(QIODevice::Append) || !m_capture->startLoggingToFile(m_options.logPath)) {
            printError(tr("Cannot log to %1: %2").arg(m_options.logPath, probe.errorString()));
            return 1;
        }
    }
    if (!m_capture->setInterface(m_options.interfaceName)) {
        const QString failure = m_capture->startFailure();
        printError(failure.isEmpty() ? tr("The capture was not started: the password dialog was cancelled.") : failure);
        // Other failures say themselves what can be done.
        if (const QString hint = installationHint(); failure.isEmpty() && !hint.isEmpty())
            printError(hint);
        return 1;
    }
    return std::nullopt;
}

// Signals arrive through a descriptor the event loop watches, so ending runs as ordinary
// code on the main thread, also while the interface is idle.
void HeadlessCapture::watchEndingSignals()
{
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    m_signalDescriptor = signalfd(-1, &ending, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_signalDescriptor < 0)
        return;
    m_signals = new QSocketNotifier(m_signalDescriptor, QSocketNotifier::Read, this);
    connect(m_signals, &QSocketNotifier::activated, this, [this] { end(0); });
}

void HeadlessCapture::printTable()
{
    const auto streams = StreamTableText::bySpeed(m_capture->streamsArrayDisplay());
    const quint64 folded = m_capture->totals().foldedRecords;
    QByteArray text;
    if (m_options.json) {
        const QDateTime now = QDateTime::currentDateTime();
        for (const auto &stream : streams)
            text += StreamTableText::jsonLine(*stream, m_options.interfaceName, now, folded) + '\n';
    } else {
        if (!m_first)
            text += '\n';
        text += StreamTableText::headerLine().toUtf8() + '\n';
        for (const auto &stream : streams)
            text += StreamTableText::tableLine(*stream).toUtf8() + '\n';
        if (folded > 0)
            text += StreamTableText::foldedLine(folded).toUtf8() + '\n';
    }
    m_first = false;
    if (!writeAll(STDOUT_FILENO, text.constData(), static_cast<std::size_t>(text.size())))
        end(0);
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
