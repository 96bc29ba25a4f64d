// The network test page with its server on a loopback port, under a flood: one peer sends
// 500 MiB as fast as it can while 1 000 other peers stay connected and silent (arguments:
// MiB to send, idle peers). Measured: the bytes and blocks the server's callback counted
// against the bytes sent (none may be lost), the blocks the page showed or counted as not
// shown, the event loop's stall (p50/p99/max), the window thread's time on the processor and
// waiting for it (the stall grows with either: the first is the program's own work, the second
// what other threads and programs took) and the process's peak memory (VmHWM).
#include "CDlgNetTest.h"
#include "CIocpModeSvr.h"
#include "event_loop_probe.h"
#include "kit/CTextListModel.h"
#include "loopback_socket.h"
#include "page_test_kit.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::uint64_t mebibytes = 500;
    int idlePeers = 1000;
    std::uint64_t bytes() const { return mebibytes * 1024 * 1024; }
};

Settings settingsFrom(int argc, char **argv) {
    Settings settings;
    if (argc > 1) settings.mebibytes = std::max(1, std::atoi(argv[1]));
    if (argc > 2) settings.idlePeers = std::max(0, std::atoi(argv[2]));
    return settings;
}

// Every peer holds two descriptors of this process (its own end and the server's).
void makeRoomForPeers(int peers) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = rlim_t(2 * peers) + 2 * CIocpModeSvr::kReservedDescriptors;
    if (limit.rlim_cur >= needed || limit.rlim_cur == limit.rlim_max) {
        std::printf("  open-file limit %llu, left as it is\n",
                    static_cast<unsigned long long>(limit.rlim_cur));
        return;
    }
    const rlim_t before = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    std::printf("  open-file limit raised from %llu to the hard limit %llu\n",
                static_cast<unsigned long long>(before),
                static_cast<unsigned long long>(limit.rlim_cur));
}

std::uint16_t freePort() {
    CIocpModeSvr probe;
    probe.start([](std::uint32_t, std::int32_t, const std::uint8_t *, std::uint32_t, void *) {}, 0,
                nullptr);
    return probe.port();
}

// The idle peers connect, then the flooding peer sends everything; runs off the window's thread.
class Peers {
  public:
    Peers(std::uint16_t port, const Settings &settings)
        : m_thread([this, port, settings] { run(port, settings); }) {}
    ~Peers() { m_thread.join(); }

    bool done() const { return m_done; }
    std::uint64_t sent() const { return m_sent; }
    int idleConnected() const { return m_idleConnected; }
    double floodSeconds() const { return m_floodSeconds; }

  private:
    void run(std::uint16_t port, const Settings &settings) {
        // The peers stand for other machines: here they must not take the processor from the
        // program they measure more than they have to.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        for (int peer = 0; peer < settings.idlePeers; ++peer) {
            m_idle.push_back(testsupport::LoopbackSocket::connectedTo(port));
            m_idleConnected += m_idle.back().valid() ? 1 : 0;
        }
        const testsupport::LoopbackSocket flood = testsupport::LoopbackSocket::connectedTo(port);
        std::vector<std::uint8_t> chunk(64 * 1024);
        for (std::size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<std::uint8_t>(i * 7 + 3);
        const auto started = Clock::now();
        while (flood.valid() && m_sent < settings.bytes()) {
            const std::size_t size =
                std::min<std::uint64_t>(chunk.size(), settings.bytes() - m_sent);
            if (!flood.sendAll(chunk.data(), size)) break;
            m_sent += size;
        }
        m_floodSeconds = std::chrono::duration<double>(Clock::now() - started).count();
        m_done = true;
    }

    std::vector<testsupport::LoopbackSocket> m_idle;
    std::atomic<std::uint64_t> m_sent = 0;
    std::atomic<int> m_idleConnected = 0;
    std::atomic<double> m_floodSeconds = 0;
    std::atomic<bool> m_done = false;
    std::thread m_thread;
};

// The calling thread's time on the processor and waiting, runnable, for it (milliseconds;
// the scheduler's own account, zero where the kernel keeps none).
struct ThreadTimes {
    double runningMs = 0;
    double waitingMs = 0;
};

ThreadTimes threadTimes() {
    ThreadTimes times;
    if (std::FILE *file = std::fopen("/proc/thread-self/schedstat", "r")) {
        unsigned long long running = 0;
        unsigned long long waiting = 0;
        if (std::fscanf(file, "%llu %llu", &running, &waiting) == 2)
            times = {double(running) / 1e6, double(waiting) / 1e6};
        std::fclose(file);
    }
    return times;
}

// Runs the event loop as the program does (asleep while idle) until the condition holds or
// the deadline passes.
void runEventsUntil(const std::function<bool()> &condition, Clock::duration deadline) {
    const auto end = Clock::now() + deadline;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition() || Clock::now() >= end) loop.quit();
    });
    check.start(10);
    loop.exec();
}

}  // namespace

int main(int argc, char **argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Settings settings = settingsFrom(argc, argv);
    std::printf("network test page: %llu MiB from one loopback peer, %d idle peers\n",
                static_cast<unsigned long long>(settings.mebibytes), settings.idlePeers);
    makeRoomForPeers(settings.idlePeers + 1);

    pagetest::CScriptedReader reader;
    pagetest::CFakeMainWindow window(reader);
    CDlgNetTest page(window, nullptr);
    page.resize(1000, 600);
    page.show();
    const std::uint16_t port = freePort();
    page.findChild<QLineEdit *>(QStringLiteral("portField"))->setText(QString::number(port));
    page.findChild<QPushButton *>(QStringLiteral("startButton"))->click();
    if (!page.isListening()) {
        std::fprintf(stderr, "the page did not start listening on port %u\n", port);
        return 1;
    }
    const long residentBefore = residentKilobytes();

    CEventLoopProbe probe;
    probe.start();
    const ThreadTimes windowBefore = threadTimes();
    std::uint64_t sent = 0;
    int idleConnected = 0;
    double floodSeconds = 0;
    {
        const Peers peers(port, settings);
        runEventsUntil([&] { return peers.done(); }, std::chrono::minutes(10));
        sent = peers.sent();
        idleConnected = peers.idleConnected();
        floodSeconds = peers.floodSeconds();
        // What the server still has on its way to the callback and to the page.
        runEventsUntil([&] { return page.bytesSeen() >= sent; }, std::chrono::seconds(30));
        runEventsUntil([] { return false; }, std::chrono::milliseconds(500));  // the last drain
        probe.stop();
    }
    const ThreadTimes windowAfter = threadTimes();

    const std::uint64_t counted = page.bytesSeen();
    const std::uint64_t blocks = page.blocksSeen();
    const int rows = page.received()->rowCount();
    const qint64 lastRow = rows == 0 ? 0 : page.received()->index(rows - 1, 0).data().toLongLong();
    std::printf(
        "  sent %llu bytes in %.1f s (%.0f MiB/s); the callback counted %llu bytes in "
        "%llu blocks: %s\n",
        static_cast<unsigned long long>(sent), floodSeconds,
        double(sent) / (1024.0 * 1024.0) / floodSeconds, static_cast<unsigned long long>(counted),
        static_cast<unsigned long long>(blocks), counted == sent ? "none lost" : "BYTES LOST");
    std::printf(
        "  page: %lld blocks shown (%d rows kept), %llu not shown; %d of %d idle peers "
        "connected, %d connection rows\n",
        static_cast<long long>(lastRow), rows,
        static_cast<unsigned long long>(page.blocksNotShown()), idleConnected, settings.idlePeers,
        page.connections()->rowCount());
    std::printf("  event-loop stall (5 ms probe lateness): p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                probe.stallMs(0.5), probe.stallMs(0.99), probe.stallMs(1.0));
    std::printf("  window thread: %.0f ms on the processor, %.0f ms waiting for it\n",
                windowAfter.runningMs - windowBefore.runningMs,
                windowAfter.waitingMs - windowBefore.waitingMs);
    std::printf("  memory: resident %ld KiB before, %ld KiB after, peak (VmHWM) %ld KiB\n",
                residentBefore, residentKilobytes(), peakResidentKilobytes());
    page.stopListening();
    return counted == sent ? 0 : 1;
}
