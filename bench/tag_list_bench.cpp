// The tag list at 10 000 distinct tags: sightings merged through the model's index beside the
// linear scan of the rows' EPC column, in the same run; and the inventory page listing a
// 10 000-tag virtual field over TCP while a timer measures how long the event loop stalls.
#include "page_test_kit.h"
#include "tags/CIdentifyTab.h"
#include "tags/CTagListModel.h"

#include <QApplication>
#include <QComboBox>
#include <QTableView>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>

namespace {

constexpr int distinctTags = 10000;
constexpr int batchSize = 50;
const QTime seen(12, 0, 0);

tagrecord::Bytes bodyOf(int tag) {
    return {1,
            1,
            0xE2,
            0x00,
            0x00,
            0x17,
            0x22,
            0x0A,
            0x01,
            0x00,
            0x00,
            0x00,
            std::uint8_t(tag >> 8),
            std::uint8_t(tag),
            0xC0};
}

std::vector<std::vector<tagrecord::Bytes>> randomBatches(int count) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, distinctTags - 1);
    std::vector<std::vector<tagrecord::Bytes>> batches(static_cast<std::size_t>(count));
    for (auto &batch : batches)
        for (int i = 0; i < batchSize; ++i) batch.push_back(bodyOf(pick(random)));
    return batches;
}

void fill(CTagListModel &model) {
    std::vector<tagrecord::Bytes> all;
    for (int tag = 0; tag < distinctTags; ++tag) all.push_back(bodyOf(tag));
    model.addRecords(all, seen);
}

void BM_MergeThroughIndex(benchmark::State &state) {
    CTagListModel model(CTagListModel::Kind::AnswerMode);
    fill(model);
    const auto batches = randomBatches(64);
    std::size_t next = 0;
    for (auto _ : state) {
        model.addRecords(batches[next++ % batches.size()], seen);
    }
    state.SetItemsProcessed(state.iterations() * batchSize);
    state.counters["rows"] = model.tagCount();
}

// What the page would do without the index: read column 2 of every row, first to last.
int firstMatchByScan(const CTagListModel &model, const QString &epc) {
    for (int row = 0; row < model.tagCount(); ++row)
        if (model.cellText(row, CTagListModel::Epc) == epc) return row;
    return -1;
}

void BM_MergeByLinearScan(benchmark::State &state) {
    CTagListModel model(CTagListModel::Kind::AnswerMode);
    fill(model);
    const auto batches = randomBatches(4);
    std::vector<QString> epcs;
    for (const auto &batch : batches)
        for (const auto &body : batch)
            epcs.push_back(
                model.cellText(static_cast<int>(body[12] << 8 | body[13]), CTagListModel::Epc));
    std::size_t next = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(firstMatchByScan(model, epcs[next++ % epcs.size()]));
    state.SetItemsProcessed(state.iterations());
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * double(values.size() - 1))];
}

void BM_InventoryOfLargeFieldOverTcp(benchmark::State &state) {
    pagetest::CVirtualReaderSession session("fir", distinctTags);
    pagetest::CFakeMainWindow window(session.reader(), &session.facade());
    CIdentifyTab page(window, nullptr);
    page.findChild<QComboBox *>(QStringLiteral("interval"))->setCurrentIndex(0);
    const QAbstractItemModel *tags =
        page.findChild<QTableView *>(QStringLiteral("tagList"))->model();
    page.show();
    for (auto _ : state) {
        constexpr auto probePeriod = std::chrono::milliseconds(5);
        std::vector<double> stallsMs;
        auto last = std::chrono::steady_clock::now();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const auto now = std::chrono::steady_clock::now();
            stallsMs.push_back(std::max(
                0.0, std::chrono::duration<double, std::milli>(now - last - probePeriod).count()));
            last = now;
        });
        probe.start(probePeriod);
        const auto started = std::chrono::steady_clock::now();
        page.start();
        pagetest::waitUntil([&] { return tags->rowCount() == distinctTags; },
                            std::chrono::minutes(5));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        page.stop();
        probe.stop();
        state.SetIterationTime(seconds);
        state.counters["rows"] = tags->rowCount();
        state.counters["new_tags_per_s"] = tags->rowCount() / seconds;
        state.counters["stall_p99_ms"] = percentile(stallsMs, 0.99);
        state.counters["stall_max_ms"] = percentile(stallsMs, 1.0);
    }
}

BENCHMARK(BM_MergeThroughIndex);
BENCHMARK(BM_MergeByLinearScan);
BENCHMARK(BM_InventoryOfLargeFieldOverTcp)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
