// Serial library against the virtual reader over a pseudo-terminal:
// - a GetDeviceSystemInfo round trip next to a raw write/read of the same bytes on the same
//   pseudo-terminal (the library's wait must not add a sleep-and-test floor);
// - CPU used by an open, idle connection.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "QnComApi.h"
#include "frame.h"
#include "virtual_reader.h"

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

// CPU of the whole process (library threads and the idle virtual reader) while connected.
void BM_IdleConnectionCpu(benchmark::State &state) {
    readersim::VirtualReader reader;
    const std::string link = linkPath();
    reader.servePty(link);
    if (!QnCom_OpenDevice(link.c_str(), 115200)) {
        state.SkipWithError("open failed");
        return;
    }
    const auto window = std::chrono::seconds(3);
    for (auto _ : state) {
        const double before = processCpuSeconds();
        std::this_thread::sleep_for(window);
        const double used = processCpuSeconds() - before;
        state.counters["cpu_percent_of_core"] = 100.0 * used / 3.0;
    }
    QnCom_CloseDevice();
    std::filesystem::remove(link);
}
BENCHMARK(BM_IdleConnectionCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
