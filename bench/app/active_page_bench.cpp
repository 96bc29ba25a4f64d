// The active read page under a fast stream: the virtual reader pushes reports of one tag each
// over TCP (arguments: reports per second, seconds, distinct tags; by default 20 000/s for
// 10 s over 5 000 tags). Run twice side by side: the page alone, then with the GS1 column on
// and its chart window open, following the first tag. Measured: the page's report counter
// against the reports sent (none may be lost), the rows, the event loop's stall (p50/p99/max)
// and memory before and after.
#include "event_loop_probe.h"
#include "page_test_kit.h"
#include "reader_model.h"
#include "tags/CDlgActiveRead.h"
#include "tags/CTagListView.h"

#include <QApplication>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    int reportsPerSecond = 20000;
    int seconds = 10;
    int tags = 5000;
};

Settings settingsFrom(int argc, char **argv) {
    Settings settings;
    if (argc > 1) settings.reportsPerSecond = std::max(1, std::atoi(argv[1]));
    if (argc > 2) settings.seconds = std::max(1, std::atoi(argv[2]));
    if (argc > 3) settings.tags = std::max(1, std::atoi(argv[3]));
    return settings;
}

void runEventsFor(Clock::duration span) {
    const auto end = Clock::now() + span;
    while (Clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Once with the page alone, once with what an operator may open beside it; true when none
// of the reports was lost.
bool run(const Settings &settings, bool withViews) {
    std::printf("%s\n", withViews ? " with the GS1 column and the chart window:" : " page alone:");
    pagetest::CVirtualReaderSession session("fir", settings.tags);
    if (!session.isOpen()) {
        std::fprintf(stderr, "the virtual reader did not open\n");
        return false;
    }
    pagetest::CFakeMainWindow window(session.reader(), &session.facade());
    window.gs1ColumnShown = withViews;
    CDlgActiveRead page(window, nullptr);
    page.resize(1000, 600);
    page.show();
    page.findChild<QPushButton *>(QStringLiteral("startButton"))->click();
    if (withViews) {
        CTagListView &view = page.listView();
        view.openChart();
        // The chart follows the tag selected first, from its first sighting on.
        QObject::connect(view.model(), &QAbstractItemModel::rowsInserted, &view, [&view] {
            if (!view.selectionModel()->hasSelection()) view.selectRow(0);
        });
    }
    const long residentBefore = residentKilobytes();

    CEventLoopProbe probe;
    probe.start();
    readersim::VirtualReader &reader = session.virtualReader();
    const auto started = Clock::now();
    reader.withModel([&](readersim::ReaderModel &model) {
        model.active.period = std::chrono::microseconds(1000000 / settings.reportsPerSecond);
        model.active.batch = 1;
        model.enterActiveMode();
    });
    runEventsFor(std::chrono::seconds(settings.seconds));
    reader.stopActive();
    const double pushSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    // The last reports still on their way.
    runEventsFor(std::chrono::milliseconds(500));
    const std::uint64_t sent = reader.reportsSent();
    const auto settleEnd = Clock::now() + std::chrono::seconds(10);
    while (std::uint64_t(page.tagList().reportCount()) < sent && Clock::now() < settleEnd)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    probe.stop();

    const std::int64_t counted = page.tagList().reportCount();
    std::printf("  sent %llu reports (%.0f/s), page counted %lld: %s; %d rows\n",
                static_cast<unsigned long long>(sent), double(sent) / pushSeconds,
                static_cast<long long>(counted),
                std::uint64_t(counted) == sent ? "none lost" : "REPORTS LOST",
                page.tagList().rowCount());
    std::printf("  event-loop stall (5 ms probe lateness): p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                probe.stallMs(0.5), probe.stallMs(0.99), probe.stallMs(1.0));
    std::printf("  memory: resident %ld KiB before, %ld KiB after, peak %ld KiB\n", residentBefore,
                residentKilobytes(), peakResidentKilobytes());
    return std::uint64_t(counted) == sent;
}

}  // namespace

int main(int argc, char **argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Settings settings = settingsFrom(argc, argv);
    std::printf("active page: %d reports/s for %d s over %d tags (TCP)\n",
                settings.reportsPerSecond, settings.seconds, settings.tags);
    const bool alone = run(settings, false);
    const bool withViews = run(settings, true);
    return alone && withViews ? 0 : 1;
}
