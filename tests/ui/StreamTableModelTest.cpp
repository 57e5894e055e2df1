// SPDX-License-Identifier: MIT
#include "ui/StreamTableModel.h"
#include "TestEndpoints.h"
#include "UiTestSupport.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "ui/SpeedGraph.h"
#include "ui/StreamSortModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPalette>

namespace {

// Live streams and the copies a cycle would publish of them.
class StreamTableModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uiApplication();
        Clock::freezeAt(700000000.0);
    }
    void TearDown() override { Clock::useSystemTime(); }

    std::shared_ptr<Stream> live(int port, quint32 upBytes)
    {
        auto stream = Stream::streamWithSource(endpointAt("10.0.0.1", static_cast<std::uint16_t>(port)),
                                               endpointAt("10.0.0.2", 80), QStringLiteral("TCP"), false);
        stream->addUpBytes(upBytes);
        m_live.push_back(stream);
        return stream;
    }

    // A cycle's copies of the given live streams (in creation order).
    std::vector<std::shared_ptr<Stream>> copies(const std::vector<std::shared_ptr<Stream>> &streams)
    {
        Clock::advance(1.0);
        std::vector<std::shared_ptr<Stream>> result;
        for (const auto &stream : streams)
            result.push_back(stream->copy());
        return result;
    }

    QStringList sortedSources() const
    {
        QStringList sources;
        for (int row = 0; row < m_sort.rowCount(); ++row)
            sources << m_sort.index(row, StreamTableModel::SourceColumn).data().toString();
        return sources;
    }

    std::vector<std::shared_ptr<Stream>> m_live;
    StreamTableModel m_model;
    StreamSortModel m_sort{&m_model};
    QAbstractItemModelTester m_modelTester{&m_model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QAbstractItemModelTester m_sortTester{&m_sort, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(StreamTableModelTest, ASortByNumberAndTheSelectionHoldAcrossCyclesAndNameAnswers)
{
    const auto a = live(1, 9 * 1024);
    const auto b = live(2, 10 * 1024);
    const auto c = live(3, 100);
    m_model.setStreams(copies({a, b, c}));
    m_sort.sort(StreamTableModel::UpSpeedColumn, Qt::DescendingOrder);
    EXPECT_EQ(sortedSources(), (QStringList{"10.0.0.1:2", "10.0.0.1:1", "10.0.0.1:3"}));

    QItemSelectionModel selection(&m_sort);
    selection.setCurrentIndex(m_sort.index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_EQ(m_sort.index(1, 0).data().toString(), "10.0.0.1:1");

    // Next cycle: b has gone, a new stream came, a's address got its name, c now leads.
    c->resetTime();
    c->addUpBytes(50 * 1024);
    a->dnsGotName(QStringLiteral("alpha"), QStringLiteral("10.0.0.1"), {});
    const auto d = live(4, 1);
    m_model.setStreams(copies({a, c, d}));
    EXPECT_EQ(sortedSources(), (QStringList{"10.0.0.1:3", "alpha:1", "10.0.0.1:4"}));
    const QModelIndex current = selection.currentIndex();
    EXPECT_EQ(current.data().toString(), "alpha:1");
    EXPECT_TRUE(selection.isRowSelected(current.row(), {}));

    m_model.setStreams({});
    EXPECT_EQ(m_sort.rowCount(), 0);
}

TEST_F(StreamTableModelTest, NumbersShowAsTextButSortAndExportAsNumbers)
{
    const auto a = live(1, 1536);
    a->addUpDataBytes(1536);
    m_model.setStreams(copies({a}));
    const QModelIndex payload = m_model.index(0, StreamTableModel::UpPayloadColumn);
    EXPECT_EQ(payload.data().toString(), "1.5kB");
    EXPECT_EQ(payload.data(StreamTableModel::RawValueRole).toULongLong(), 1536u);
    EXPECT_EQ(m_model.headerData(StreamTableModel::UpSpeedColumn, Qt::Horizontal, Qt::ToolTipRole), "upSpeedNumber");
}

TEST(SpeedGraph, DrawsTheSamplesItWasGiven)
{
    uiApplication();
    SpeedGraph graph;
    graph.resize(200, 100);
    for (int second = 0; second <= 60; ++second)
        graph.addSample(second, 1000.0, 0.0);
    const QImage drawn = graph.grab().toImage();
    // The up line runs across the top of the plot, in blue.
    int blue = 0;
    for (int x = 20; x < 180; ++x) {
        for (int y = 0; y < drawn.height(); ++y)
            blue += drawn.pixelColor(x, y).blue() > 150 && drawn.pixelColor(x, y).red() < 120 ? 1 : 0;
    }
    EXPECT_GT(blue, 100);
}

TEST_F(StreamTableModelTest, AnEndedConnectionShowsGreyedForItsLastCycle)
{
    const auto first = live(1, 10);
    const auto second = live(2, 10);
    second->setCloseReason(QStringLiteral("closed"));
    m_model.setStreams(copies({first, second}));
    const QColor greyed = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    EXPECT_FALSE(m_model.index(0, StreamTableModel::SourceColumn).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(m_model.index(1, StreamTableModel::SourceColumn).data(Qt::ForegroundRole).value<QColor>(), greyed);
}
