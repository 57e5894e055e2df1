// SPDX-License-Identifier: MIT
#pragma once

#include "ui/TableExport.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>

class QAbstractItemView;
class QAction;
class QActionGroup;
class QHeaderView;
class QLineEdit;
class QMenu;
class QTableView;
class QTreeView;
class StreamCapture;
class StreamGroupModel;
class StreamSortModel;
class StreamTableModel;
class StreamWindowToolbar;

namespace Ui {
class StreamWindow;
}

// One window on one interface: the live stream table of its own capture, the toolbar, the
// summary drawer and the menus. It owns its capture; closing the window deletes it, which
// shuts the capture down, and from then on nothing the capture signals reaches it.
class StreamWindowController : public QMainWindow
{
    Q_OBJECT

public:
    // Opens a new window capturing on the interface. Null when the capture cannot start; then
    // `failure` says why in words for a person (empty after a cancelled password dialog).
    static StreamWindowController *showControllerWithInterface(const QString &interfaceName, const QString &address,
                                                               QString *failure = nullptr);

    StreamWindowController(const QString &interfaceName, const QString &address, QWidget *parent = nullptr);
    ~StreamWindowController() override;

    // Starts the capture; false (with the reason in startFailure) when it cannot start.
    bool startCapture();
    QString startFailure() const;

    StreamCapture &streamCapture() { return *m_capture; }
    QTableView *tableView() const;
    // The grouped rows, shown instead of the table while the rows are grouped.
    QTreeView *groupView() const;
    StreamGroupModel *groupModel() const { return m_groupModel; }
    StreamSortModel *groupSortModel() const { return m_groupSortModel; }
    QLineEdit *searchField() const { return m_searchField; }
    StreamTableModel *tableModel() const { return m_model; }
    StreamSortModel *sortModel() const { return m_sortModel; }
    QAction *copyAction() const { return m_copyAction; }

    void pause();
    void showSummary();
    void log();
    void copy();
    void exportTable();
    // The shown table or tree has the focus and a row is selected.
    bool canCopy() const;
    // The identifiers of the shown columns, in the order the person sees them.
    QStringList visibleColumnIdentifiers() const;

signals:
    void newRequested();
    void preferencesRequested();
    void historyRequested();
    void helpRequested();
    void quitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Once shown, the frame the window system added is known and kept on screen as well.
    void showEvent(QShowEvent *event) override;

private:
    void setUpTable();
    void setUpGroupView();
    void setUpGroupMenu(QMenu *view);
    void showGrouping(const QVariant &name);
    void showView(bool grouped);
    bool isGrouped() const;
    QAbstractItemView *shownView() const;
    QHeaderView *shownHeader() const;
    std::optional<QString> copiedGroupText() const;
    void setUpToolbar();
    void setUpMenus();
    void restoreLayout();
    void saveLayout() const;
    void saveSort(const QHeaderView *header);
    void keepOnScreen();
    void showColumnMenu(const QPoint &position);
    void refreshDisplay();
    void refreshSummary();
    void updateCopyAction();
    void startLoggingTo(const QString &path);
    void showLoggingLook();
    void captureFailed(const QString &message);
    void writeExport(const QString &path, TableExport::Format format);
    QList<int> visibleColumns() const;

    std::unique_ptr<Ui::StreamWindow> m_ui;
    StreamCapture *m_capture;
    StreamTableModel *m_model;
    StreamSortModel *m_sortModel;
    StreamGroupModel *m_groupModel;
    StreamSortModel *m_groupSortModel;
    QLineEdit *m_searchField;
    StreamWindowToolbar *m_toolbar = nullptr;
    QAction *m_copyAction = nullptr;
    QAction *m_pauseAction = nullptr;
    QAction *m_loggingAction = nullptr;
    QActionGroup *m_groupActions = nullptr;
    QString m_interfaceName;
    QElapsedTimer m_opened;
};
