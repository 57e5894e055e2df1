// SPDX-License-Identifier: MIT
#pragma once

#include "headless/CommandLineOptions.h"

#include <QObject>
#include <QString>

#include <memory>

class QueuedWriter;
class StreamCapture;

// The window-less mode: one capture on one interface, with the same preferences, tool
// installation, templates and name lookups as a window, whose table goes to standard output
// once per update interval. SIGINT and SIGTERM end it cleanly (logging stopped, the tool
// ended, status 0), as does a standard output that was closed (status 0); a capture that
// cannot start or a tool that fails ends it with status 1.
//
// The table reaches standard output through a writer thread (QueuedWriter), so a reader
// that stops reading (a stopped terminal, "| (sleep 1000)") never blocks the main thread:
// the signals still end the run at once, and the tables it does not take are dropped.
//
// History is kept as the preferences have it, in another file or not at all for this run;
// where it goes, or why it cannot, is told once on standard error.
class HeadlessCapture : public QObject
{
    Q_OBJECT

public:
    explicit HeadlessCapture(const CommandLineOptions &options, QObject *parent = nullptr);
    ~HeadlessCapture() override;

    // Starts the capture; the exit status when it cannot start (with the reason printed),
    // else nothing and the event loop takes over.
    std::optional<int> start();

private:
    void printTable();
    void tellHistoryStatus();
    void fail(const QString &message);
    void end(int status);
    void endWhenStarted();
    void startOutput();

    CommandLineOptions m_options;
    std::unique_ptr<StreamCapture> m_capture;
    std::unique_ptr<QueuedWriter> m_output;
    bool m_first = true;
    bool m_historyTold = false;
    // The capture is starting (its installation may run a local event loop), and a signal
    // asked for the end meanwhile.
    bool m_starting = false;
    bool m_endPending = false;
};
