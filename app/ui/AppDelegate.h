// SPDX-License-Identifier: MIT
#pragma once

#include "platform/InterfaceList.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class HelpWindow;
class HistoryWindow;
class InterfaceChooser;
class PreferencesWindow;
class StreamWindowController;

// The application controller, alive for the whole run: registers the preference defaults
// before anything reads one, offers the machine's interfaces in a chooser, opens a stream
// window for the chosen one, and shows help, the preferences and the history.
//
// The application never runs without a window and never quits on its own while a capture
// starts: closing the chooser quits when no stream window is open; closing the last stream
// window brings the chooser back, so the person can pick another interface or quit from
// there (a capture that fails while running closes its window the same way).
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // The interfaces on offer; nothing when they cannot be listed.
    using InterfaceSource = std::function<std::optional<QList<InterfaceList::Entry>>()>;

    explicit AppDelegate(QObject *parent = nullptr);
    // With interfaces from elsewhere than the system (tests).
    explicit AppDelegate(InterfaceSource interfaceSource, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The last step of start-up: the chooser.
    void applicationDidFinishLaunching();
    // The interface list built again and the chooser shown (also the New command).
    void newChooser();
    // The chooser's Watch: the chooser makes way for a stream window on the chosen entry, or
    // comes back (saying why, unless the person cancelled the password dialog).
    void watchInterface();
    // A stream window on the device straight away, at its first IPv4 address (the command
    // line's --interface). False when the capture cannot start, with the reason in
    // `failure` (empty when the person cancelled the password dialog) and in an alert whose
    // answer quits.
    bool watchInterfaceNamed(const QString &device, QString *failure);
    void showHelp();
    void showPreferences();
    // One History window, raised when it is already open.
    void showHistory();
    // Closes every window and ends the event loop; while a capture starts, once it has.
    void quit();

private:
    void reloadInterfaces();
    void showChooser();
    void adoptStreamWindow(StreamWindowController *window);
    void showStartFailure(const InterfaceList::Entry &entry, const QString &failure);
    void showStartFailureThenQuit(const QString &device, const QString &failure);
    void chooserClosed();
    void streamWindowGone(QObject *window);
    bool hasStreamWindows() const;

    InterfaceSource m_interfaceSource;
    QList<InterfaceList::Entry> m_interfaces;
    std::unique_ptr<InterfaceChooser> m_chooser;
    std::unique_ptr<HelpWindow> m_help;
    std::unique_ptr<PreferencesWindow> m_preferences;
    std::unique_ptr<HistoryWindow> m_history;
    QList<QObject *> m_streamWindows; // open ones, each deletes itself when closed
    // A capture is starting; its password dialog may be up in a nested event loop.
    bool m_starting = false;
    bool m_quitPending = false;
    bool m_quitting = false;
};
