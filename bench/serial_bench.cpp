// Serial library against the virtual reader over a pseudo-terminal:
// - a GetDeviceSystemInfo round trip next to a raw write/read of the same bytes on the same
//   pseudo-terminal (the library's wait must not add a sleep-and-test floor);
// - CPU used by an open, idle connection.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "QnComApi.h"
#include "frame.h"
#include "virtual_reader.h"

extern char **environ;

namespace {

std::string linkPath() {
    return (std::filesystem::temp_directory_path() /
            ("bench-serial-" + std::to_string(::getpid()) + "0"))
        .string();
}

void BM_LibraryRoundTrip(benchmark::State &state) {
    readersim::VirtualReader reader;
    const std::string link = linkPath();
    reader.servePty(link);
    if (!QnCom_OpenDevice(link.c_str(), 115200)) {
        state.SkipWithError("open failed");
        return;
    }
    uint8_t info[10];
    int failures = 0;
    for (auto _ : state) failures += QnCom_GetDeviceSystemInfo(0xFF, info) ? 0 : 1;
    state.counters["failures"] = failures;
    QnCom_CloseDevice();
    std::filesystem::remove(link);
}
BENCHMARK(BM_LibraryRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

bool readExactly(int fd, uint8_t *buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 1000) <= 0) return false;
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

void BM_RawRoundTrip(benchmark::State &state) {
    readersim::VirtualReader reader;
    const std::string link = linkPath();
    reader.servePty(link);
    // The library opens the port and leaves; its line settings stay on the terminal.
    QnCom_OpenDevice(link.c_str(), 115200);
    QnCom_CloseDevice();
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        state.SkipWithError("open failed");
        return;
    }
    uint8_t request[qn::kRequestBufferSize];
    const size_t size = qn::buildRequest(0xFF, 0x10, {}, request);
    uint8_t answer[18];
    int failures = 0;
    for (auto _ : state) {
        if (::write(fd, request, size) != ssize_t(size) || !readExactly(fd, answer, 18)) {
            ++failures;
        }
    }
    state.counters["failures"] = failures;
    ::close(fd);
    std::filesystem::remove(link);
}
BENCHMARK(BM_RawRoundTrip)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Path of a program built next to this benchmark.
std::string siblingProgram(const char *name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

// CPU of this process while a connection is open and idle. The virtual reader runs as its
// own process so that only the library's threads are counted.
void BM_IdleConnectionCpu(benchmark::State &state) {
    const std::string link = linkPath();
    const std::string sim = siblingProgram("tagbench-sim");
    char *argv[] = {const_cast<char *>(sim.c_str()), const_cast<char *>("--pty"),
                    const_cast<char *>("--link"), const_cast<char *>(link.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, sim.c_str(), nullptr, nullptr, argv, environ) != 0) {
        state.SkipWithError("cannot start tagbench-sim");
        return;
    }
    bool opened = false;
    for (int attempt = 0; attempt < 500 && !opened; ++attempt) {
        opened = QnCom_OpenDevice(link.c_str(), 115200) == 1;
        if (!opened) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (opened) {
        for (auto _ : state) {
            const double before = processCpuSeconds();
            std::this_thread::sleep_for(std::chrono::seconds(3));
            state.counters["cpu_percent_of_core"] = 100.0 * (processCpuSeconds() - before) / 3.0;
        }
    } else {
        state.SkipWithError("open failed");
    }
    QnCom_CloseDevice();
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}
BENCHMARK(BM_IdleConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);


std::atomic<uint64_t> g_reportsReceived{0};

void countReport(int32_t event, int32_t, const uint8_t *, int32_t, const uint8_t *) {
    if (event == 2) ++g_reportsReceived;
}

// Active-mode ingest: the reader pushes reports as fast as it can; counts what reaches the
// application callback and what was lost on the way.
void BM_ActiveIngest(benchmark::State &state) {
    readersim::VirtualReader reader;
    const std::string link = linkPath();
    reader.servePty(link);
    QnCom_SetCallback(countReport);
    if (!QnCom_OpenDevice(link.c_str(), 115200)) {
        state.SkipWithError("open failed");
        return;
    }
    const auto window = std::chrono::seconds(2);
    for (auto _ : state) {
        g_reportsReceived = 0;
        const uint64_t sentBefore = reader.reportsSent();
        reader.startActive(std::chrono::microseconds(0), int(state.range(0)));
        std::this_thread::sleep_for(window);
        reader.stopActive();
        const uint64_t sent = reader.reportsSent() - sentBefore;
        // Reports still on their way arrive shortly after the reader stops.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (g_reportsReceived.load() < sent && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // Counted again: the reader counts a report just after writing it.
        const uint64_t sentInTotal = reader.reportsSent() - sentBefore;
        state.counters["reports_per_second"] = double(g_reportsReceived.load()) / 2.0;
        state.counters["lost"] = double(sentInTotal) - double(g_reportsReceived.load());
    }
    QnCom_CloseDevice();
    QnCom_SetCallback(nullptr);
    std::filesystem::remove(link);
}
BENCHMARK(BM_ActiveIngest)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
