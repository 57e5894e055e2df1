// SPDX-License-Identifier: MIT
// The stream window's main-thread work per update cycle and per keystroke in the search field.

#include "capture/StreamCapture.h"
#include "capture/StreamCaptureCore.h"
#include "model/Stream.h"
#include "tools/capture/PacketSummary.h"
#include "ui/StreamGroupModel.h"
#include "ui/StreamSortModel.h"
#include "ui/StreamTableModel.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTreeView>

#include <array>
#include <cstring>
#include <vector>

namespace {

QApplication &application()
{
    static QApplication *instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_ui";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *instance;
}

std::vector<std::shared_ptr<Stream>> liveStreams(int count)
{
    std::vector<std::shared_ptr<Stream>> streams;
    for (int n = 0; n < count; ++n) {
        const auto number = static_cast<std::uint32_t>(n);
        auto stream = Stream::streamWithSource(
            EndpointText(StreamEndpoint::ipv4(0xC0A80102, static_cast<std::uint16_t>(10000 + n))),
            EndpointText(StreamEndpoint::ipv4(0x0A000000 + (number / 250 << 8) + number % 250, 443)),
            n % 3 == 0 ? QStringLiteral("UDP") : QStringLiteral("TCP"), false);
        stream->addUpBytes(static_cast<quint32>(n * 37 % 100000));
        stream->addDownBytes(static_cast<quint32>(n * 91 % 1000000));
        streams.push_back(stream);
    }
    return streams;
}

std::vector<std::shared_ptr<Stream>> copiesOf(const std::vector<std::shared_ptr<Stream>> &streams)
{
    std::vector<std::shared_ptr<Stream>> copies;
    copies.reserve(streams.size());
    for (const auto &stream : streams)
        copies.push_back(stream->copy());
    return copies;
}

// One update cycle's refresh of a table sorted by the down speed, a row selected, shown.
void BM_ModelRefresh(benchmark::State &state)
{
    application();
    const auto live = liveStreams(static_cast<int>(state.range(0)));
    StreamTableModel model;
    StreamSortModel sorted(&model);
    QTableView view;
    view.setModel(&sorted);
    view.resize(1000, 600);
    view.show();
    model.setStreams(copiesOf(live));
    sorted.sort(StreamTableModel::DownSpeedColumn, Qt::DescendingOrder);
    view.selectionModel()->select(sorted.index(50, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    for (auto _ : state) {
        state.PauseTiming();
        auto copies = copiesOf(live);
        state.ResumeTiming();
        model.setStreams(copies);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_ModelRefresh)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same cycle with the rows grouped by program (twenty programs, two processes each), the
// tree sorted by the down speed and one group open.
void BM_GroupedRefresh(benchmark::State &state)
{
    application();
    const auto live = liveStreams(static_cast<int>(state.range(0)));
    for (std::size_t n = 0; n < live.size(); ++n)
        live[n]->setProcess(QStringLiteral("program%1 (%2)").arg(n % 20).arg(n % 40));
    StreamGroupModel model;
    model.setGroupBy(StreamGroup::By::Program);
    StreamSortModel sorted(&model);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setModel(&sorted);
    view.resize(1000, 600);
    view.show();
    model.setStreams(copiesOf(live));
    sorted.sort(StreamTableModel::DownSpeedColumn, Qt::DescendingOrder);
    view.expand(sorted.index(0, 0));
    for (auto _ : state) {
        state.PauseTiming();
        auto copies = copiesOf(live);
        state.ResumeTiming();
        model.setStreams(copies);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_GroupedRefresh)->Arg(10000)->Unit(benchmark::kMillisecond);

// One keystroke in the search field: the capture filters its snapshot and the table follows.
void BM_RefilterOnKeystroke(benchmark::State &state)
{
    application();
    const auto count = static_cast<std::uint32_t>(state.range(0));
    auto core = std::make_shared<StreamCaptureCore>(false);
    std::vector<std::byte> records(count * PacketSummaryV2::kWireSize);
    for (std::uint32_t n = 0; n < count; ++n) {
        std::array<std::uint8_t, PacketSummaryV2::kWireSize> record{};
        PacketSummaryV2::widened(PacketSummary{1, 6, 0xC0A80102, 0x0A000000 + n / 250,
                                               static_cast<std::uint16_t>(10000 + n), 443, 1500, 1448})
            .encode(record);
        std::memcpy(records.data() + n * PacketSummaryV2::kWireSize, record.data(), record.size());
    }
    core->dataAvailable(records);
    StreamCapture capture(core);
    StreamTableModel model;
    StreamSortModel sorted(&model);
    QObject::connect(&capture, &StreamCapture::streamsArrayDisplayChanged,
                     [&] { model.setStreams(capture.streamsArrayDisplay()); });
    capture.update();
    bool longer = false;
    for (auto _ : state) {
        capture.setFilter(longer ? QStringLiteral("192.168.1.2:1") : QStringLiteral("192.168.1.2:"));
        longer = !longer;
    }
    capture.shutdown();
}
BENCHMARK(BM_RefilterOnKeystroke)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
