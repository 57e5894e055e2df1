// SPDX-License-Identifier: MIT
#pragma once

#include "capture/CaptureTotals.h"
#include "history/HistoryStore.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class CaptureHistory;
class Stream;
class StreamCaptureCore;

// One window's capture: it makes sure the capture tool is installed and current, starts it
// on an interface, and on a main-thread timer turns the live stream table into the display
// array the window shows (idle streams expire, the rest are copied and start a new
// interval, the copies are filtered by the search text). It also logs new and closed
// streams while logging is on, and keeps them in history while that is on (CaptureHistory).
//
// The main thread owns it and calls everything here. The reader thread and the tool belong
// to a shared core (StreamCaptureCore) that outlives this object until the tool has ended;
// destroying this object shuts the capture down, and nothing it would have signalled
// reaches anyone afterwards.
class StreamCapture : public QObject
{
    Q_OBJECT

public:
    // Limits of the two intervals, for the preference controls too. A value outside them is
    // brought within (a zero update interval would spin); one that is not a number, not
    // finite, negative, or (for the update interval) zero is refused and the previous
    // value kept.
    static constexpr double kMinimumUpdateInterval = 0.1;
    static constexpr double kMinimumRemoveInterval = 0.0;
    static constexpr double kMaximumInterval = 24 * 60 * 60;
    // Where the system log's line about an unexpected failure while starting comes from.
    static constexpr int kStartLine = 221;

    explicit StreamCapture(QObject *parent = nullptr);
    // Over a core made elsewhere (tests and benchmarks feed it records directly).
    explicit StreamCapture(std::shared_ptr<StreamCaptureCore> core, QObject *parent = nullptr);
    ~StreamCapture() override;

    // Starts capturing on the interface (a device name). Binds the intervals and the two
    // log templates to the preferences, makes sure the installed tool is current
    // (installing it with an administrator's approval when needed) and starts it. False when
    // that fails: the cause is in the system log and, in words for a person, in
    // startFailure() (empty when the person cancelled the password dialog). Called once.
    bool setInterface(const QString &interfaceName);
    const QString &startFailure() const { return m_startFailure; }
    const QString &interfaceName() const { return m_interfaceName; }

    // Ends the capture: the tool's output is closed (the tool then ends, or is ended), the
    // timer stops, the preferences no longer reach it, the streams still live go to history,
    // logging stops. Later calls do nothing.
    void shutdown();

    // Keeps this capture's streams in `store` from the next cycle on. setInterface does so
    // with the shared store (CaptureHistory::sharedStore) while history is on.
    void recordHistory(std::shared_ptr<HistoryStore> store);
    // The store's status; none while this capture keeps no history.
    std::optional<HistoryStore::Status> historyStatus() const;

    // One update cycle now, also while paused (Refresh).
    void update();
    // Toggles pausing: paused, no cycle runs (the reader keeps counting); resumed, the first
    // cycle comes one interval later.
    void pause();
    bool isPaused() const { return m_paused; }

    // The search text: words separated by single spaces, all of which a stream must match;
    // "-word" excludes. The display array follows at once.
    void setFilter(const QString &filter);
    const QString &filter() const { return m_filter; }

    // The copies the window shows, in creation order, filtered. Replaced by every update
    // cycle and every change of the filter, between the two signals below.
    const std::vector<std::shared_ptr<Stream>> &streamsArrayDisplay() const { return m_streamsArrayDisplay; }
    // The snapshot of the last cycle, unfiltered.
    const std::vector<std::shared_ptr<Stream>> &streamsArraySource() const { return m_streamsArraySource; }
    // Totals as of the last update cycle.
    const CaptureTotals &totals() const { return m_totals; }

    double updateInterval() const { return m_updateInterval; }
    double removeInterval() const { return m_removeInterval; }
    // Values as the preferences give them: anything QVariant turns into a number.
    void setUpdateInterval(const QVariant &seconds);
    void setRemoveInterval(const QVariant &seconds);

    // False when already logging or the file cannot be opened for appending (why not, in
    // words for a person, goes to `failure`).
    bool startLoggingToFile(const QString &path, QString *failure = nullptr);
    void stopLogging();
    bool isLogging() const;
    // No value switches that event's lines off.
    void setLogFormatNewStream(const std::optional<QString> &logTemplate);
    void setLogFormatStreamClosed(const std::optional<QString> &logTemplate);

    // Test seam: starts this program in place of the installed tool and skips installing
    // it; an empty path restores the real one.
    static void setToolPathForTesting(const QString &path);

signals:
    void streamsArrayDisplayAboutToChange();
    void streamsArrayDisplayChanged();
    // The tool failed: its own words (before it sent anything, or when it ended badly
    // later, as on a removed interface) or how it ended. Shown to the person, after which
    // the window closes.
    void captureError(const QString &message);

private:
    void bindPreferences();
    bool ensureToolInstalled(QString &toolPath);
    bool startTool(const QString &toolPath);
    void stopUpdating();
    void scheduleTimer();
    void updateDisplayArray();

    std::shared_ptr<StreamCaptureCore> m_core;
    std::unique_ptr<CaptureHistory> m_history;
    QTimer *m_timer; // a child, so tests find it
    std::vector<QMetaObject::Connection> m_bindings;
    QString m_interfaceName;
    QString m_startFailure;
    QString m_filter;
    std::vector<std::shared_ptr<Stream>> m_streamsArraySource;
    std::vector<std::shared_ptr<Stream>> m_streamsArrayDisplay;
    CaptureTotals m_totals;
    double m_updateInterval = 1.0;
    double m_removeInterval = 10.0;
    bool m_paused = false;
    bool m_started = false;
    bool m_shutDown = false;
};
