// Serial library against the virtual reader over a pseudo-terminal:
// - a GetDeviceSystemInfo round trip next to a raw write/read of the same bytes on the same
//   pseudo-terminal, on a quiet machine and with one core kept busy by a spinning thread
//   (argument busy_cores): the library's hand-over from its receive thread must not add
//   a floor that grows when the scheduler is busy;
// - CPU used by an open, idle connection;
// - active-mode ingest: reports per second reaching the application callback.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "QnComApi.h"
#include "bench_support.h"

extern char **environ;

namespace {

// A port name for the pseudo-terminal's symlink; it ends in a digit like a port name.
std::string linkPath() {
    return (std::filesystem::temp_directory_path() /
            ("bench-serial-" + std::to_string(::getpid()) + "0"))
        .string();
}

// Quiet, then with one core kept busy; medians of five runs each.
void roundTripRuns(benchmark::internal::Benchmark *run) {
    run->ArgName("busy_cores")->Arg(0)->Arg(1)->UseRealTime()->Repetitions(5);
    run->ReportAggregatesOnly(true);
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
    const benchsupport::BusyCores load(int(state.range(0)));
    for (auto _ : state) failures += QnCom_GetDeviceSystemInfo(0xFF, info) ? 0 : 1;
    state.counters["failures"] = failures;
    QnCom_CloseDevice();
}
BENCHMARK(BM_LibraryRoundTrip)->Apply(roundTripRuns);

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
    const benchsupport::BusyCores load(int(state.range(0)));
    benchsupport::measureRawRoundTrips(state, fd, ::write);
    ::close(fd);
}
BENCHMARK(BM_RawRoundTrip)->Apply(roundTripRuns);

// Path of a program built next to this benchmark.
std::string siblingProgram(const char *name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

// The virtual reader runs as its own process here, so that only the library's threads are
// counted.
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
        benchsupport::measureIdleCpu(state);
    } else {
        state.SkipWithError("open failed");
    }
    QnCom_CloseDevice();
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}
BENCHMARK(BM_IdleConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);

// Argument: tags per report.
void BM_ActiveIngest(benchmark::State &state) {
    readersim::VirtualReader reader;
    const std::string link = linkPath();
    reader.servePty(link);
    QnCom_SetCallback(benchsupport::countReport);
    if (!QnCom_OpenDevice(link.c_str(), 115200)) {
        state.SkipWithError("open failed");
        return;
    }
    benchsupport::measureActiveIngest(state, reader);
    QnCom_CloseDevice();
    QnCom_SetCallback(nullptr);
}
BENCHMARK(BM_ActiveIngest)->Arg(1)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
