// SPDX-License-Identifier: MIT
#include "ui/HistoryWindow.h"
#include "../history/HistoryTestSupport.h"
#include "UiTestSupport.h"
#include "ui/HistoryTableModel.h"
#include "ui/SpeedGraph.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>

#include <memory>
#include <numeric>

namespace {

// A History window over a store of its own, in the last hour: 10.0.2.1 with one stream of
// 10,000 bytes, 10.0.1.1 with three of 1,000 and 10.0.3.1 with two of 500.
class HistoryWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uiApplication();
        Preferences::shared().setValue(Preferences::HistoryPath, m_folder.path());
        const double now = Clock::now();
        std::vector<HistoryRecord> records{closedRecord(1, now - 600, 2, 10'000)};
        for (int number = 2; number <= 4; ++number)
            records.push_back(closedRecord(number, now - 500 + number, 1, 1000));
        for (int number = 5; number <= 6; ++number)
            records.push_back(closedRecord(number, now - 400 + number, 3, 500));
        m_records = records;
    }

    void TearDown() override
    {
        m_window.reset();
        Preferences::shared().removeValue(Preferences::HistoryPath);
    }

    HistoryWindow *shownWindow()
    {
        m_window = std::make_unique<HistoryWindow>();
        m_window->show();
        EXPECT_TRUE(processEventsUntil([&] { return !m_window->isBusy(); }));
        return m_window.get();
    }

    QString cell(int row, int column) const { return m_window->model()->index(row, column).data().toString(); }

    static double sum(const std::deque<SpeedGraph::Point> &points, double SpeedGraph::Point::*value)
    {
        return std::accumulate(points.begin(), points.end(), 0.0,
                               [value](double total, const SpeedGraph::Point &point) { return total + point.*value; });
    }

    HistoryFolder m_folder;
    std::vector<HistoryRecord> m_records;
    std::unique_ptr<HistoryWindow> m_window;
};

} // namespace

TEST_F(HistoryWindowTest, HostsComeMostBytesFirstAndTheChartFollowsTheSelection)
{
    HistoryWindow *window = shownWindow();
    EXPECT_EQ(window->model()->rowCount(), 0);
    EXPECT_TRUE(window->findChild<QLabel *>(QStringLiteral("statusLabel"))->text().contains(m_folder.path()))
        << "no history yet says where it was looked for";

    ASSERT_TRUE(m_folder.write(m_records));
    window->refresh();
    ASSERT_TRUE(processEventsUntil([&] { return !window->isBusy() && window->model()->rowCount() == 3; }));
    EXPECT_EQ(cell(0, 0), "10.0.2.1");
    EXPECT_EQ(cell(1, 0), "10.0.1.1");
    EXPECT_EQ(cell(2, 0), "10.0.3.1");
    EXPECT_EQ(cell(1, 2), "3") << "streams";

    // The first row is selected and charted: its bytes, each way, over the day in buckets.
    const auto &points = window->chart()->points();
    EXPECT_EQ(points.size(), std::size_t(HistoryWindow::kChartBuckets));
    EXPECT_EQ(sum(points, &SpeedGraph::Point::up), 2500.0);
    EXPECT_EQ(sum(points, &SpeedGraph::Point::down), 7500.0);

    window->tableView()->selectRow(1);
    ASSERT_TRUE(processEventsUntil([&] { return !window->isBusy(); }));
    EXPECT_EQ(sum(window->chart()->points(), &SpeedGraph::Point::up), 750.0);
    EXPECT_EQ(sum(window->chart()->points(), &SpeedGraph::Point::down), 2250.0);
}

TEST_F(HistoryWindowTest, SearchWordsNarrowTheRowsThatAreCopiedAndExported)
{
    ASSERT_TRUE(m_folder.write(m_records));
    HistoryWindow *window = shownWindow();
    ASSERT_EQ(window->model()->rowCount(), 3);
    window->searchField()->setText(QStringLiteral("10.0. -10.0.2."));
    ASSERT_EQ(window->model()->rowCount(), 2);
    EXPECT_EQ(cell(0, 0), "10.0.1.1");

    window->tableView()->selectRow(1);
    window->copy();
    const QStringList copied = QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 2);
    EXPECT_TRUE(copied[0].startsWith(QStringLiteral("host"))) << copied[0].toStdString();
    EXPECT_TRUE(copied[1].startsWith(QStringLiteral("10.0.3.1"))) << copied[1].toStdString();

    const QString path = m_folder.folder() + QStringLiteral("/hosts.json");
    window->exportTable();
    QFileDialog *dialog = nullptr;
    ASSERT_TRUE(processEventsUntil([&] { return (dialog = window->findChild<QFileDialog *>()) != nullptr; }));
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept();
    ASSERT_TRUE(processEventsUntil([&] { return QFile::exists(path); }));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3) << "two lines, each ended";
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(first.value(QStringLiteral("host")).toString(), "10.0.1.1");
    EXPECT_EQ(first.value(QStringLiteral("streams")).toInteger(), 3);
    EXPECT_EQ(first.value(QStringLiteral("lifetimeDownBytes")).toInteger(), 2250);
    EXPECT_EQ(QJsonDocument::fromJson(lines[1]).object().value(QStringLiteral("host")).toString(), "10.0.3.1");
}
