// SPDX-License-Identifier: MIT
#include "ui/AppDelegate.h"

#include "ui/PlainAlert.h"

#include "platform/Preferences.h"
#include "ui/HelpWindow.h"
#include "ui/HistoryWindow.h"
#include "ui/InterfaceChooser.h"
#include "ui/PreferencesWindow.h"
#include "ui/StreamWindowController.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace {

void bringToFront(QWidget *window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

AppDelegate::AppDelegate(QObject *parent)
    : AppDelegate(&InterfaceList::current, parent)
{
}

AppDelegate::AppDelegate(InterfaceSource interfaceSource, QObject *parent)
    : QObject(parent)
    , m_interfaceSource(std::move(interfaceSource))
{
    Preferences::shared().registerDefaultPreferences();
    // Which window closing ends the run is decided here, not by Qt's count of windows.
    QApplication::setQuitOnLastWindowClosed(false);
    m_chooser = std::make_unique<InterfaceChooser>();
    connect(m_chooser.get(), &InterfaceChooser::watchRequested, this, &AppDelegate::watchInterface);
    connect(m_chooser.get(), &InterfaceChooser::helpRequested, this, &AppDelegate::showHelp);
    connect(m_chooser.get(), &InterfaceChooser::quitRequested, this, &AppDelegate::quit);
    connect(m_chooser.get(), &QDialog::rejected, this, &AppDelegate::chooserClosed);
    reloadInterfaces();
}

// Stream windows still open go first: each shuts its capture down as it goes.
AppDelegate::~AppDelegate()
{
    const QList<QObject *> windows = std::exchange(m_streamWindows, {});
    for (QObject *window : windows) {
        disconnect(window, nullptr, this, nullptr);
        delete window;
    }
}

void AppDelegate::applicationDidFinishLaunching()
{
    newChooser();
}

void AppDelegate::newChooser()
{
    reloadInterfaces();
    showChooser();
}

void AppDelegate::watchInterface()
{
    const int index = m_chooser->chosenIndex();
    if (m_starting || m_quitting || index < 0 || index >= m_interfaces.size())
        return;
    const InterfaceList::Entry entry = m_interfaces.at(index);
    m_starting = true;
    m_chooser->setStarting(true);
    m_chooser->hide();
    QString failure;
    StreamWindowController *window
        = StreamWindowController::showControllerWithInterface(entry.device, entry.address, &failure);
    m_starting = false;
    m_chooser->setStarting(false);
    if (window != nullptr)
        adoptStreamWindow(window);
    if (m_quitPending)
        quit();
    else if (window == nullptr)
        showStartFailure(entry, failure);
}

bool AppDelegate::watchInterfaceNamed(const QString &device, QString *failure)
{
    reloadInterfaces();
    QString address;
    for (const InterfaceList::Entry &entry : m_interfaces) {
        if (entry.device == device) {
            address = entry.address;
            break;
        }
    }
    m_starting = true;
    QString reason;
    StreamWindowController *window = StreamWindowController::showControllerWithInterface(device, address, &reason);
    m_starting = false;
    if (failure != nullptr)
        *failure = reason;
    if (window == nullptr) {
        showStartFailureThenQuit(device, reason);
        return false;
    }
    adoptStreamWindow(window);
    // Asked for while the capture started (a signal during the installation, say): this runs
    // before the event loop does, so the quit comes from there.
    if (m_quitPending)
        QMetaObject::invokeMethod(this, &AppDelegate::quit, Qt::QueuedConnection);
    return true;
}

void AppDelegate::showHelp()
{
    if (!m_help)
        m_help = std::make_unique<HelpWindow>();
    m_help->showStartPage();
}

void AppDelegate::showPreferences()
{
    if (!m_preferences)
        m_preferences = std::make_unique<PreferencesWindow>();
    bringToFront(m_preferences.get());
}

void AppDelegate::showHistory()
{
    if (!m_history)
        m_history = std::make_unique<HistoryWindow>();
    bringToFront(m_history.get());
}

void AppDelegate::quit()
{
    if (m_starting) {
        m_quitPending = true;
        return;
    }
    if (m_quitting)
        return;
    m_quitting = true;
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void AppDelegate::reloadInterfaces()
{
    const std::optional<QList<InterfaceList::Entry>> interfaces = m_interfaceSource();
    m_interfaces = interfaces.value_or(QList<InterfaceList::Entry>{});
    m_chooser->setInterfaces(interfaces);
}

void AppDelegate::showChooser()
{
    bringToFront(m_chooser.get());
}

void AppDelegate::adoptStreamWindow(StreamWindowController *window)
{
    m_streamWindows.append(window);
    connect(window, &StreamWindowController::newRequested, this, &AppDelegate::newChooser);
    connect(window, &StreamWindowController::preferencesRequested, this, &AppDelegate::showPreferences);
    connect(window, &StreamWindowController::historyRequested, this, &AppDelegate::showHistory);
    connect(window, &StreamWindowController::helpRequested, this, &AppDelegate::showHelp);
    connect(window, &StreamWindowController::quitRequested, this, &AppDelegate::quit);
    connect(window, &QObject::destroyed, this, &AppDelegate::streamWindowGone);
}

// A cancelled password dialog needs no words; the chooser coming back is answer enough.
void AppDelegate::showStartFailure(const InterfaceList::Entry &entry, const QString &failure)
{
    showChooser();
    if (failure.isEmpty())
        return;
    QMessageBox *alert = plainAlert(m_chooser.get(), QMessageBox::Warning,
                                    tr("Quillmere cannot watch %1.").arg(entry.formattedName), failure);
    alert->open();
}

// Without a chooser to go back to, the answer to the alert ends the run.
void AppDelegate::showStartFailureThenQuit(const QString &device, const QString &failure)
{
    if (failure.isEmpty())
        return;
    QMessageBox *alert
        = plainAlert(nullptr, QMessageBox::Warning, tr("Quillmere cannot watch %1.").arg(device), failure);
    connect(alert, &QDialog::finished, this, &AppDelegate::quit);
    alert->open();
}

// A start in progress ends with a stream window or the chooser again, so it decides then.
void AppDelegate::chooserClosed()
{
    if (!m_starting && !hasStreamWindows())
        quit();
}

void AppDelegate::streamWindowGone(QObject *window)
{
    m_streamWindows.removeAll(window);
    if (!m_quitting && !m_starting && !hasStreamWindows() && !m_chooser->isVisible())
        newChooser();
}

bool AppDelegate::hasStreamWindows() const
{
    return !m_streamWindows.isEmpty();
}
