// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QToolBar>

class QLineEdit;
class QMenu;

// The toolbar of one stream window. Items by identifier, in this order by default:
// "Refresh", "Pause", "Summary", "Logging", a flexible space ("FlexibleSpace"), "Search".
// The person picks the items and icon/label mode from its context menu; that choice is saved
// under "StreamWindow" and shared by every stream window, open ones included.
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

    // The identifiers of the items shown, in order.
    QStringList itemIdentifiers() const;
    QAction *itemWithIdentifier(const QString &identifier) const;
    // Puts the Search item back when the person took it off (a choice saved as the context
    // menu saves it), and shows the toolbar if it was hidden: a person asking to find needs
    // the field.
    void showSearchField();
    // The context menu: a switch per item and the three display modes. Its choices are
    // saved at once; the caller owns the menu.
    QMenu *customizationMenu(QWidget *parent);

signals:
    void refreshRequested();
    void pauseRequested();
    void summaryRequested();
    void loggingRequested();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    class Item;
    using ItemSetup = void (StreamWindowToolbar::*)(Item *item);

    static const QHash<QString, ItemSetup> &itemSetups();

    void applyConfiguration(const QVariant &saved);
    void placeItems(const QStringList &identifiers);
    QAction *makeItem(const QString &identifier);
    void setupRefreshToolbarItem(Item *item);
    void setupPauseToolbarItem(Item *item);
    void setupSummaryToolbarItem(Item *item);
    void setupLoggingToolbarItem(Item *item);
    void setupSearchToolbarItem(Item *item);
    void showPauseLook(QAction *item) const;
    void showLoggingLook(QAction *item) const;
    void addItemChoices(QMenu *menu);
    void addDisplayChoices(QMenu *menu);
    void setItemShown(const QString &identifier, bool shown);
    void saveConfiguration(const QStringList &identifiers, const QString &display) const;

    QLineEdit *m_searchField;
    bool m_paused = false;
    bool m_logging = false;
};
