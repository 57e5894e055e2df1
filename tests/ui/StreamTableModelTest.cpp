// SPDX-License-Identifier: MIT
#include "ui/StreamTableModel.h"
#include "TestEndpoints.h"
#include "UiTestSupport.h"
#include "model/Stream.h"
#include "platform/Clock.h"
#include "ui/SpeedGraph.h"
#include "ui/StreamGroupModel.h"
#include "ui/StreamSortModel.h"
#include "ui/SummaryDrawer.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPalette>
#include <QPersistentModelIndex>

#include <functional>

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

TEST_F(StreamTableModelTest, ToolTipsShowTheWholeCellAndTheAddressBehindAName)
{
    const auto stream = Stream::streamWithSource(namedEndpoint(QStringLiteral("gateway"), "10.0.0.1", 22, "ssh"),
                                                 endpointAt("2001:db8::2", 443), QStringLiteral("TCP"), false);
    stream->setProcess(QStringLiteral("<b>sshd</b> (42)"));
    m_model.setStreams(copies({stream}));
    const auto tip = [&](int column) { return m_model.index(0, column).data(Qt::ToolTipRole).toString(); };
    const QString source = tip(StreamTableModel::SourceColumn);
    for (const char *part : {"gateway:ssh", "Address: 10.0.0.1", "Port: 22", "Host name: gateway", "Service: ssh",
                             "Program: &lt;b&gt;sshd&lt;/b&gt; (42)"})
        EXPECT_TRUE(source.contains(QLatin1StringView(part))) << part << " in " << source.toStdString();
    EXPECT_TRUE(tip(StreamTableModel::DestinationColumn).contains(QStringLiteral("Address: 2001:db8::2")));
    EXPECT_TRUE(tip(StreamTableModel::ProcessColumn).contains(QStringLiteral("&lt;b&gt;sshd&lt;/b&gt; (42)")));
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

TEST(SummaryDrawer, CountsSayWhatTheyCountAndTheGraphHasALegendAndATimeAxis)
{
    uiApplication();
    SummaryDrawer drawer;
    drawer.resize(260, 400);
    drawer.show();
    SummaryDrawer::Cycle cycle;
    cycle.totals.foldedRecords = 12;
    drawer.refresh(cycle);
    EXPECT_EQ(drawer.findChild<QLabel *>(QStringLiteral("foldedValue"))->text(), "12 records");

    SpeedGraph graph;
    graph.resize(240, 120);
    const QImage drawn = graph.grab().toImage();
    const int line = graph.fontMetrics().height();
    const auto count = [&](int top, int bottom, const std::function<bool(const QColor &)> &wanted) {
        int found = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < drawn.width(); ++x)
                found += wanted(drawn.pixelColor(x, y)) ? 1 : 0;
        }
        return found;
    };
    // No samples yet: the swatches of both colours on the top line, the minutes below the plot.
    EXPECT_GT(count(0, line, [](const QColor &c) { return c.green() > 150 && c.red() < 100 && c.blue() < 130; }), 4);
    EXPECT_GT(count(0, line, [](const QColor &c) { return c.blue() > 180 && c.red() < 100; }), 4);
    const QColor text = graph.palette().color(QPalette::WindowText);
    EXPECT_GT(count(drawn.height() - line, drawn.height(), [&](const QColor &c) { return c == text; }), 10);
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

// Across cycles a group keeps its row while streams come and go under it, a group whose
// streams all went leaves, and the selected stream row follows its stream.
TEST_F(StreamTableModelTest, GroupRowsAndTheirStreamsHoldAcrossCycles)
{
    const auto program = [this](int port, const char *process) {
        const auto stream = live(port, static_cast<quint32>(port * 1000));
        stream->setProcess(QString::fromUtf8(process));
        return stream;
    };
    const auto a = program(1, "curl (1)");
    const auto b = program(2, "curl (2)");
    const auto c = program(5, "ssh (5)");
    StreamGroupModel groups;
    groups.setGroupBy(StreamGroup::By::Program);
    StreamSortModel tree(&groups);
    const QAbstractItemModelTester groupsTester(&groups, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QAbstractItemModelTester treeTester(&tree, QAbstractItemModelTester::FailureReportingMode::Fatal);
    groups.setStreams(copies({a, b, c}));
    tree.sort(StreamTableModel::UpSpeedColumn, Qt::DescendingOrder);
    ASSERT_EQ(tree.rowCount(), 2);
    const QModelIndex curl = tree.index(1, 0);
    EXPECT_EQ(curl.data().toString(), "curl");
    EXPECT_EQ(tree.index(0, 0, curl).data().toString(), "10.0.0.1:2");
    const QPersistentModelIndex selected = tree.index(1, 0, curl);
    const QPersistentModelIndex group = curl;

    const auto d = program(4, "curl (4)");
    groups.setStreams(copies({a, d}));
    ASSERT_EQ(tree.rowCount(), 1);
    EXPECT_EQ(group.data().toString(), "curl");
    EXPECT_EQ(selected.data().toString(), "10.0.0.1:1");
    EXPECT_EQ(tree.rowCount(group), 2);
    EXPECT_EQ(tree.index(group.row(), StreamTableModel::UpBytesColumn).data(StreamTableModel::RawValueRole), 5000u);
    EXPECT_EQ(tree.index(0, 0, group).data().toString(), "10.0.0.1:4");

    // New figures alone reorder the streams in their group.
    a->addUpBytes(1'000'000);
    groups.setStreams(copies({a, d}));
    EXPECT_EQ(tree.index(0, 0, group).data().toString(), "10.0.0.1:1");
    EXPECT_EQ(selected.row(), 0);
}
