#pragma once

#include <QObject>

// The application controller, alive for the whole run: registers the preference defaults
// before anything reads one, offers the machine's interfaces in a chooser, opens a stream
// window for the chosen one, and shows help and the preferences.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // The last step of start-up: the chooser.
    void applicationDidFinishLaunching();
    // The interface list built again and the chooser shown (also the New command).
    void newChooser();
    void showHelp();
    void showPreferences();
};
