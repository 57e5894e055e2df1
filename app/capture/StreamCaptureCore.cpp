// SPDX-License-Identifier: MIT
#include "capture/StreamCaptureCore.h"

#include "platform/Clock.h"
#include "platform/MainThreadDelivery.h"
#include "platform/SystemLog.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace {
constexpr std::size_t kErrorReadBytes = 4096;
constexpr std::size_t kThreadNameLength = 15;
constexpr std::size_t kFoldRunRecords = 256;
// As much as a default pipe holds: over a thousand records.
constexpr int kLargePieceBytes = 64 * 1024;

struct Registry
{
    std::mutex mutex;
    std::vector<std::weak_ptr<StreamCaptureCore>> cores;
};

// Never destroyed: readers may still finish while the process exits.
Registry &registry()
{
    static Registry *const instance = new Registry;
    return *instance;
}

void remember(const std::shared_ptr<StreamCaptureCore> &core)
{
    Registry &all = registry();
    const std::lock_guard lock(all.mutex);
    std::erase_if(all.cores, [](const std::weak_ptr<StreamCaptureCore> &known) { return known.expired(); });
    all.cores.push_back(core);
}

// Both descriptors together: the wake-up one first, so a stop wins over more data.
enum class Ready { Wake, Data };
Ready waitFor(int data, int wake)
{
    std::array<pollfd, 2> watched{{{wake, POLLIN, 0}, {data, POLLIN, 0}}};
    while (poll(watched.data(), watched.size(), -1) < 0 && errno == EINTR) { }
    return watched[0].revents != 0 ? Ready::Wake : Ready::Data;
}

// True once a stop has been asked for, waiting at most `time` for it.
bool stopAskedWithin(int wake, std::chrono::milliseconds time)
{
    pollfd watched{wake, POLLIN, 0};
    return poll(&watched, 1, static_cast<int>(time.count())) > 0;
}

QString endOfTool(int waitStatus)
{
    if (WIFSIGNALED(waitStatus)) {
        const char *name = sigdescr_np(WTERMSIG(waitStatus));
        return QCoreApplication::translate("StreamCapture", "The capture tool was ended by signal %1 (%2).")
            .arg(WTERMSIG(waitStatus))
            .arg(QString::fromUtf8(name != nullptr ? name : "?"));
    }
    return QCoreApplication::translate("StreamCapture", "The capture tool ended with status %1.")
        .arg(WEXITSTATUS(waitStatus));
}

bool endedBadly(int waitStatus)
{
    return waitStatus == -1 || WIFSIGNALED(waitStatus) || (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) != 0);
}
} // namespace

StreamCaptureCore::StreamCaptureCore(bool performLookups, StreamTable::OwnAddresses ownAddresses)
    : m_table(performLookups, std::move(ownAddresses))
{
}

// Only the last owner gets here: either the reader itself (whose thread then just ends) or
// a thread that outlived it.
StreamCaptureCore::~StreamCaptureCore()
{
    if (!m_reader.joinable())
        return;
    if (m_reader.get_id() == std::this_thread::get_id())
        m_reader.detach();
    else
        m_reader.join();
}

bool StreamCaptureCore::start(const std::string &toolPath, const std::vector<std::string> &arguments,
                              const QString &label, ErrorReport report)
{
    m_wake.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_wake)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    if (!m_tool.start(toolPath, arguments))
        return false;
    m_report = std::move(report);
    try {
        m_attribution = std::make_unique<AsyncProcessAttribution>();
        {
            const std::lock_guard lock(m_lock);
            m_table.setProcessAttribution(m_attribution.get());
        }
        const std::lock_guard lock(m_threadMutex);
        m_reader = std::thread(&StreamCaptureCore::readInThread, shared_from_this(), label);
    } catch (...) {
        m_tool.finish(kToolGrace);
        throw;
    }
    remember(shared_from_this());
    return true;
}

void StreamCaptureCore::shutdown()
{
    if (m_stopping.exchange(true) || !m_wake)
        return;
    const std::uint64_t one = 1;
    static_cast<void>(writeAll(m_wake.get(), &one, sizeof one));
}

void StreamCaptureCore::joinReader()
{
    const std::lock_guard lock(m_threadMutex);
    if (m_reader.joinable() && m_reader.get_id() != std::this_thread::get_id())
        m_reader.join();
}

void StreamCaptureCore::shutdownAll()
{
    std::vector<std::shared_ptr<StreamCaptureCore>> running;
    {
        Registry &all = registry();
        const std::lock_guard lock(all.mutex);
        for (const auto &known : all.cores) {
            if (auto core = known.lock())
                running.push_back(std::move(core));
        }
        all.cores.clear();
    }
    for (const auto &core : running)
        core->shutdown();
    for (const auto &core : running)
        core->joinReader();
}

// The thread's own reference keeps the capture alive until the tool has been reaped; the
// main thread then joins it, and if there is no main thread left, the thread just ends.
void StreamCaptureCore::readInThread(std::shared_ptr<StreamCaptureCore> self, QString label)
{
    const QByteArray name = (QStringLiteral("qm-read-") + label).toUtf8().left(kThreadNameLength);
    pthread_setname_np(pthread_self(), name.constData());
    self->readUntilOutputEnds();
    self->endTool();
    const std::shared_ptr<StreamCaptureCore> joinable = self;
    MainThreadDelivery::post([joinable] { joinable->joinReader(); });
}

// A pipe that already holds a large piece is read at once: waiting would gain nothing, and a
// writer faster than a full pipe per gathering time must not be held back by it.
void StreamCaptureCore::readUntilOutputEnds()
{
    std::vector<std::byte> buffer(kReadChunkBytes);
    while (waitFor(m_tool.output(), m_wake.get()) == Ready::Data) {
        int waiting = 0;
        const bool large = ioctl(m_tool.output(), FIONREAD, &waiting) == 0 && waiting >= kLargePieceBytes;
        if (!large && stopAskedWithin(m_wake.get(), kGatherTime))
            return;
        const ssize_t got = read(m_tool.output(), buffer.data(), buffer.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return;
        if (!dataAvailable(std::span(buffer).first(static_cast<std::size_t>(got)))) {
            m_outOfStep = true;
            return;
        }
    }
}

bool StreamCaptureCore::dataAvailable(std::span<const std::byte> chunk)
{
    return m_records.feed(chunk, [this](std::span<const std::byte> whole) { return foldRecords(whole); });
}

// Decoded a run at a time, so the table can fetch a run's streams ahead; one clock reading
// serves the chunk, which the reader took from the pipe at one moment.
bool StreamCaptureCore::foldRecords(std::span<const std::byte> whole)
{
    std::array<PacketSummaryV2, kFoldRunRecords> run;
    const std::size_t records = whole.size() / RecordReader::kRecordBytes;
    const double now = Clock::now();
    bool inStep = true;
    {
        const std::lock_guard lock(m_lock);
        for (std::size_t index = 0; inStep && index < records;) {
            std::size_t decoded = 0;
            for (; inStep && decoded < run.size() && index < records; ++index) {
                run[decoded] = RecordReader::decodeAt(whole, index);
                inStep = run[decoded].version == PacketSummaryV2::kVersion;
                decoded += inStep ? 1 : 0;
            }
            m_table.updateWithSummaries(std::span(run).first(decoded), now, m_eventLog);
        }
    }
    m_receivedRecords = true;
    m_eventLog.writeQueuedLines();
    return inStep;
}

StreamTable::Cycle StreamCaptureCore::runCycle(double now, double removeInterval)
{
    StreamTable::Cycle cycle;
    {
        const std::lock_guard lock(m_lock);
        cycle = m_table.runCycle(now, removeInterval, m_eventLog);
    }
    m_eventLog.writeQueuedLines();
    cycle.totals.droppedLogLines = m_eventLog.droppedLines();
    cycle.freeDepartedElsewhere();
    return cycle;
}

void StreamCaptureCore::setStreamLimit(std::size_t limit)
{
    const std::lock_guard lock(m_lock);
    m_table.setStreamLimit(limit);
}

void StreamCaptureCore::setTcpConnectionKeeping(bool keep, double idleLimit)
{
    const std::lock_guard lock(m_lock);
    m_table.setTcpConnectionKeeping(keep, idleLimit);
}

void StreamCaptureCore::stopLogging()
{
    {
        const std::lock_guard lock(m_lock);
        m_eventLog.stopLogging();
    }
    m_eventLog.writeQueuedLines();
}

// Shut down: the tool is ended without a word. Ended by itself: what it said, or how it
// ended, goes to the person.
void StreamCaptureCore::endTool()
{
    m_tool.closeOutput();
    if (m_outOfStep) {
        m_tool.finish(kToolGrace);
        if (!m_stopping && m_report)
            m_report(
                QCoreApplication::translate("StreamCapture", "The capture tool sent records that cannot be read."));
        return;
    }
    const QString errorText = m_stopping ? QString() : readErrorText();
    const int waitStatus = m_tool.finish(kToolGrace);
    if (!m_stopping && !m_tool.signalledByUs())
        reportEnd(errorText, waitStatus);
}

// One read of what the tool wrote to standard error: it waits until the tool writes there
// or ends, unless the capture is shut down meanwhile.
QString StreamCaptureCore::readErrorText()
{
    if (waitFor(m_tool.error(), m_wake.get()) == Ready::Wake)
        return {};
    std::array<char, kErrorReadBytes> text{};
    ssize_t got = 0;
    do
        got = read(m_tool.error(), text.data(), text.size());
    while (got < 0 && errno == EINTR);
    return got > 0 ? QString::fromUtf8(text.data(), got) : QString();
}

// Words from a tool that went on to end well, after records, are only logged. A tool that
// ended badly has ended the capture (its interface removed, say), which the person must see
// whenever it happens.
void StreamCaptureCore::reportEnd(const QString &errorText, int waitStatus)
{
    const bool failed = endedBadly(waitStatus);
    if (!errorText.isEmpty() && m_receivedRecords)
        systemLog(errorText);
    if (!m_report || (m_receivedRecords && !failed))
        return;
    if (!errorText.isEmpty())
        m_report(errorText.trimmed());
    else if (failed)
        m_report(endOfTool(waitStatus));
}
