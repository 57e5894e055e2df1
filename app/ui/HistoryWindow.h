// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryLookup.h"
#include "history/HistoryQuery.h"
#include "ui/TableExport.h"

#include <QWidget>

#include <memory>

class HistoryTableModel;
class QLineEdit;
class QTableView;
class SpeedGraph;

namespace Ui {
class HistoryWindow;
}

// What history kept, asked in a window: a time range (the last hour, day or week, or one the
// person sets), grouped by remote host, program, service or stream, the groups with the most
// bytes first (kGroupLimit at most, and it says when there are more), the live table's search
// words over them, and a chart of the selected group's bytes per time bucket. Ctrl+C copies
// the selected rows as `quillmere history` prints them; Export writes the shown rows as its
// CSV or JSON lines do. Questions run on threads of their own (HistoryLookup), so the window
// never waits for the file a capture may be writing. Closing only hides it, so the
// application keeps one and shows it again; each showing asks afresh.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr std::size_t kGroupLimit = 1000;
    static constexpr int kChartBuckets = 120; // about as many; longer ranges take whole hours

    explicit HistoryWindow(QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Asks again: the range, if it counts back from now, ends now.
    void refresh();
    void copy();
    void exportTable();

    QTableView *tableView() const;
    QLineEdit *searchField() const;
    SpeedGraph *chart() const;
    HistoryTableModel *model() const { return m_model; }
    // A question has been asked whose answer has not come yet.
    bool isBusy() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setUpQuestion();
    void setUpShortcuts();
    HistoryQuery::Range range() const;
    void rangeChosen();
    void showAnswer(const HistoryLookup::Answer &answer);
    void showFailure(const QString &message);
    void showStatus();
    void chartSelected();
    void showChart(const HistoryLookup::Answer &answer);
    void writeExport(const QString &path, TableExport::Format format);

    std::unique_ptr<Ui::HistoryWindow> m_ui;
    HistoryTableModel *m_model;
    HistoryLookup *m_tableLookup;
    HistoryLookup *m_chartLookup;
    // The range and the bucket the last questions were asked with.
    HistoryQuery::Range m_range;
    double m_bucketSeconds = 0.0;
    bool m_cut = false;
};
