#pragma once

#include <QToolBar>

class QLineEdit;

// The toolbar of one stream window. Items by identifier, in this order by default:
// "Refresh", "Pause", "Summary", "Logging", a flexible space, "Search". The person picks
// the items and icon/label mode from its context menu; that choice is saved under
// "StreamWindow" and shared by every stream window, open ones included.
class StreamWindowToolbar : public QToolBar
{
    Q_OBJECT

public:
    // searchField is the window's search field, shown by the Search item.
    explicit StreamWindowToolbar(QLineEdit *searchField, QWidget *parent = nullptr);

    // The Pause item's look: "Resume" with the play image while paused, else "Pause".
    void showPaused(bool paused);
    // The Logging item's look: "Stop Logging" with the stop-log image while logging, else
    // "Log to File" with the log image.
    void showLogging(bool logging);

signals:
    void refreshRequested();
    void pauseRequested();
    void summaryRequested();
    void loggingRequested();
};
