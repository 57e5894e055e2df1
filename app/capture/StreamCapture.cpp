// SPDX-License-Identifier: MIT
#include "capture/StreamCapture.h"

#include "capture/CaptureHistory.h"
#include "capture/StreamCaptureCore.h"
#include "capture/ToolInstallation.h"
#include "model/SearchWords.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "platform/Elevation.h"
#include "platform/MainThreadDelivery.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "resolve/DNSAsyncLookup.h"

#include <QFile>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {
QString testToolPath;

// A usable interval brought within its limits, or nothing (logged) for a value that is not
// a positive number of seconds (zero allowed where it means something).
std::optional<double> usableInterval(const QVariant &value, double minimum, QLatin1StringView name)
{
    bool isNumber = false;
    const double seconds = value.isValid() ? value.toDouble(&isNumber) : 0.0;
    const bool zeroAllowed = minimum == 0.0;
    if (!isNumber || !std::isfinite(seconds) || seconds < 0.0 || (seconds == 0.0 && !zeroAllowed)) {
        systemLog(QStringLiteral("Ignoring %1 \"%2\": not a usable number of seconds; keeping the previous one")
                      .arg(name, value.toString()));
        return std::nullopt;
    }
    return std::clamp(seconds, minimum, StreamCapture::kMaximumInterval);
}

} // namespace

StreamCapture::StreamCapture(QObject *parent)
    : StreamCapture(std::make_shared<StreamCaptureCore>(), parent)
{
}

StreamCapture::StreamCapture(std::shared_ptr<StreamCaptureCore> core, QObject *parent)
    : QObject(parent)
    , m_core(std::move(core))
    , m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &StreamCapture::update);
}

StreamCapture::~StreamCapture()
{
    shutdown();
}

void StreamCapture::setToolPathForTesting(const QString &path)
{
    testToolPath = path;
}

bool StreamCapture::setInterface(const QString &interfaceName)
{
    if (m_started || m_shutDown)
        return false;
    m_started = true;
    m_interfaceName = interfaceName;
    setUpdateInterval(1.0);
    setRemoveInterval(10.0);
    bindPreferences();
    QString toolPath;
    if (!ensureToolInstalled(toolPath)) {
        stopUpdating();
        return false;
    }
    try {
        if (startTool(toolPath)) {
            if (std::shared_ptr<HistoryStore> store = CaptureHistory::sharedStore())
                recordHistory(std::move(store));
            return true;
        }
        m_startFailure = tr("The capture tool could not be started.");
    } catch (const std::exception &error) {
        systemLog(QStringLiteral("%1:%2: %3")
                      .arg(QLatin1StringView(ToolInstallation::kMethodName))
                      .arg(kStartLine)
                      .arg(QString::fromLocal8Bit(error.what())));
        m_startFailure = tr("The capture could not be started: %1").arg(QString::fromLocal8Bit(error.what()));
    }
    stopUpdating();
    return false;
}

// The preferences are pushed at once and again on every change, never written back; a
// binding made before the defaults were registered pushes nothing usable, which the
// setters refuse. A template follows its text and its event's switch.
void StreamCapture::bindPreferences()
{
    Preferences &preferences = Preferences::shared();
    m_bindings.push_back(preferences.bind(Preferences::UpdateInterval, this,
                                          [this](const QVariant &value) { setUpdateInterval(value); }));
    m_bindings.push_back(preferences.bind(Preferences::RemoveInterval, this,
                                          [this](const QVariant &value) { setRemoveInterval(value); }));
    m_bindings.push_back(preferences.bind(Preferences::StreamLimit, this, [this](const QVariant &value) {
        bool isNumber = false;
        const qlonglong limit = value.toLongLong(&isNumber);
        m_core->setStreamLimit(isNumber && limit > 0 ? static_cast<std::size_t>(limit)
                                                     : StreamTable::kDefaultStreamLimit);
    }));
    const auto tcpKeeping = [this](const QVariant &) {
        const Preferences &current = Preferences::shared();
        const auto idleLimit = usableInterval(current.value(Preferences::TcpIdleLimit), kMinimumRemoveInterval,
                                              Preferences::TcpIdleLimit);
        m_core->setTcpConnectionKeeping(current.boolValue(Preferences::KeepTcpConnections),
                                        idleLimit.value_or(StreamTable::kDefaultTcpIdleLimit));
    };
    for (const QLatin1StringView key : {Preferences::KeepTcpConnections, Preferences::TcpIdleLimit})
        m_bindings.push_back(preferences.bind(key, this, tcpKeeping));
    const auto newStreamTemplate
        = [this](const QVariant &) { setLogFormatNewStream(Preferences::shared().newStreamLogTemplate()); };
    const auto streamClosedTemplate
        = [this](const QVariant &) { setLogFormatStreamClosed(Preferences::shared().streamClosedLogTemplate()); };
    for (const QLatin1StringView key : {Preferences::NewStreamLogString, Preferences::NewStreamLogEnabled})
        m_bindings.push_back(preferences.bind(key, this, newStreamTemplate));
    for (const QLatin1StringView key : {Preferences::StreamClosedLogString, Preferences::StreamClosedLogEnabled})
        m_bindings.push_back(preferences.bind(key, this, streamClosedTemplate));
}

bool StreamCapture::ensureToolInstalled(QString &toolPath)
{
    if (!testToolPath.isEmpty()) {
        toolPath = testToolPath;
        return true;
    }
    ToolInstallation installation(Elevation::shared());
    if (!installation.ensureCurrent()) {
        m_startFailure = installation.failureText();
        return false;
    }
    toolPath = ToolInstallation::toolPath();
    return !toolPath.isNull();
}

// The report crosses to the main thread without waiting, and is dropped there when this
// object has gone in the meantime.
bool StreamCapture::startTool(const QString &toolPath)
{
    const QPointer<StreamCapture> front(this);
    auto report = [front](const QString &message) {
        MainThreadDelivery::post([front, message] {
            if (front)
                emit front->captureError(message);
        });
    };
    return m_core->start(QFile::encodeName(toolPath).toStdString(), {"--records=2", m_interfaceName.toStdString()},
                         m_interfaceName, std::move(report));
}

// No more cycles and no more preferences: after a failed start and at shutdown.
void StreamCapture::stopUpdating()
{
    m_timer->stop();
    for (const QMetaObject::Connection &binding : m_bindings)
        disconnect(binding);
    m_bindings.clear();
}

void StreamCapture::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    stopUpdating();
    m_core->shutdown();
    if (m_history) {
        const double now = Clock::now();
        m_history->recordLastCycle(m_core->runCycle(now, m_removeInterval), now);
        m_history.reset();
    }
    m_core->stopLogging();
}

void StreamCapture::recordHistory(std::shared_ptr<HistoryStore> store)
{
    m_history = std::make_unique<CaptureHistory>(std::move(store), m_interfaceName, Clock::now());
}

std::optional<HistoryStore::Status> StreamCapture::historyStatus() const
{
    if (!m_history)
        return std::nullopt;
    return m_history->status();
}

void StreamCapture::update()
{
    const double now = Clock::now();
    StreamTable::Cycle cycle = m_core->runCycle(now, m_removeInterval);
    if (m_history)
        m_history->recordCycle(cycle, now);
    m_streamsArraySource = std::move(cycle.copies);
    m_totals = cycle.totals;
    m_totals.refusedLookups = DNSAsyncLookup::sharedLookup().refusedCount();
    updateDisplayArray();
}

void StreamCapture::pause()
{
    m_paused = !m_paused;
    scheduleTimer();
}

void StreamCapture::setFilter(const QString &filter)
{
    m_filter = filter;
    updateDisplayArray();
}

void StreamCapture::updateDisplayArray()
{
    emit streamsArrayDisplayAboutToChange();
    const SearchWords words(m_filter);
    m_streamsArrayDisplay.clear();
    for (const std::shared_ptr<Stream> &stream : m_streamsArraySource) {
        if (words.matches([&stream](QStringView word) { return stream->matchesRawFilter(word); }))
            m_streamsArrayDisplay.push_back(stream);
    }
    emit streamsArrayDisplayChanged();
}

void StreamCapture::setUpdateInterval(const QVariant &seconds)
{
    if (const auto usable = usableInterval(seconds, kMinimumUpdateInterval, Preferences::UpdateInterval)) {
        m_updateInterval = *usable;
        scheduleTimer();
    }
}

void StreamCapture::setRemoveInterval(const QVariant &seconds)
{
    if (const auto usable = usableInterval(seconds, kMinimumRemoveInterval, Preferences::RemoveInterval))
        m_removeInterval = *usable;
}

// A new interval restarts the timer; paused or shut down there is none.
void StreamCapture::scheduleTimer()
{
    if (m_paused || m_shutDown) {
        m_timer->stop();
        return;
    }
    m_timer->start(static_cast<int>(std::lround(m_updateInterval * 1000.0)));
}

bool StreamCapture::startLoggingToFile(const QString &path, QString *failure)
{
    return m_core->eventLog().startLoggingToFile(path, failure);
}

void StreamCapture::stopLogging()
{
    m_core->stopLogging();
}

bool StreamCapture::isLogging() const
{
    return m_core->eventLog().isLogging();
}

void StreamCapture::setLogFormatNewStream(const std::optional<QString> &logTemplate)
{
    m_core->eventLog().setLogFormatNewStream(logTemplate);
}

void StreamCapture::setLogFormatStreamClosed(const std::optional<QString> &logTemplate)
{
    m_core->eventLog().setLogFormatStreamClosed(logTemplate);
}
