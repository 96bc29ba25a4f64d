// Commands on a reader that streams active-mode reports, beside the same commands on a quiet
// reader, in one run: two virtual readers on loopback TCP, one handle each. The commands
// (identity, clock, one parameter, inventory in turn) run in alternating blocks on the two
// handles so that both see the same machine. Prints commands per second and latency
// percentiles of each, the p99 ratio (goal: streaming ≤ 2 × quiet) and the reports lost
// (goal: 0).
//
//   bench_streaming_commands [COMMANDS_PER_READER] [REPORTS_PER_SECOND]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QnReader.h"
#include "virtual_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

constexpr int kBlock = 50;  // commands per block before the other reader's turn
constexpr uint8_t kParamIndex = 20;

struct Reader {
    std::unique_ptr<readersim::VirtualReader> sim;
    QnReader *handle = nullptr;
    std::vector<double> latencies;  // µs
    Clock::duration busy{};
    int failed = 0;
    std::atomic<uint64_t> reports{0};

    bool open() {
        readersim::ReaderOptions options;
        options.requestLogLimit = 16;
        sim = std::make_unique<readersim::VirtualReader>(options);
        const std::string address = "tcp://127.0.0.1:" + std::to_string(sim->serveTcp());
        handle = QnReader_Open(address.c_str(), nullptr, 0);
        return handle != nullptr;
    }
};

void countReport(QnReader *, void *user, int32_t event, int32_t, const uint8_t *, int32_t,
                 const uint8_t *) {
    if (event == QN_EVENT_DATA) ++static_cast<Reader *>(user)->reports;
}

bool runCommand(QnReader *handle, int i) {
    switch (i % 4) {
        case 0: {
            uint8_t info[10];
            return QnReader_GetDeviceSystemInfo(handle, 0xFF, info) == 1;
        }
        case 1: {
            uint8_t clock[6];
            return QnReader_ReadDeviceTime(handle, 0xFF, clock) == 1;
        }
        case 2: {
            uint8_t value;
            return QnReader_ReadDeviceOneParam(handle, 0xFF, kParamIndex, &value) == 1;
        }
        default: {
            uint8_t records[1451];
            uint16_t bytes, tags;
            return QnReader_InventoryG2(handle, 0xFF, records, &bytes, &tags) == 1;
        }
    }
}

void runBlock(Reader &reader, int first) {
    for (int i = first; i < first + kBlock; ++i) {
        const auto start = Clock::now();
        if (!runCommand(reader.handle, i)) ++reader.failed;
        const auto took = Clock::now() - start;
        reader.busy += took;
        reader.latencies.push_back(Micros(took).count());
    }
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    return values[at];
}

void print(const char *name, const Reader &reader) {
    const double seconds = std::chrono::duration<double>(reader.busy).count();
    std::printf(
        "%-10s %7zu commands  %8.0f /s  p50 %7.0f us  p99 %7.0f us  max %7.0f us  "
        "failed %d\n",
        name, reader.latencies.size(), double(reader.latencies.size()) / seconds,
        percentile(reader.latencies, 0.50), percentile(reader.latencies, 0.99),
        percentile(reader.latencies, 1.0), reader.failed);
}

}  // namespace

int main(int argc, char **argv) {
    const int commands = argc > 1 ? std::max(kBlock, std::atoi(argv[1])) : 4000;
    const int reportsPerSecond = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    Reader quiet, streaming;
    if (!quiet.open() || !streaming.open()) {
        std::fprintf(stderr, "cannot open the virtual readers\n");
        return 1;
    }
    QnReader_SetCallback(streaming.handle, countReport, &streaming);
    streaming.sim->startActive(std::chrono::microseconds(1000000 / reportsPerSecond), 1);

    for (int first = 0; first < commands; first += kBlock) {
        runBlock(quiet, first);
        runBlock(streaming, first);
    }
    streaming.sim->stopActive();
    const uint64_t sent = streaming.sim->reportsSent();
    // The last reports may still be on their way: give them up to 5 s.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (streaming.reports.load() < sent && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::printf("TCP, one handle per reader, %d reports/s on the streaming one\n",
                reportsPerSecond);
    print("quiet", quiet);
    print("streaming", streaming);
    const double ratio =
        percentile(streaming.latencies, 0.99) / std::max(1.0, percentile(quiet.latencies, 0.99));
    std::printf("p99 streaming / quiet: %.2f (goal <= 2)\n", ratio);
    std::printf("reports sent %llu, received %llu, lost %lld (goal 0)\n",
                static_cast<unsigned long long>(sent),
                static_cast<unsigned long long>(streaming.reports.load()),
                static_cast<long long>(sent) - static_cast<long long>(streaming.reports.load()));
    QnReader_Close(quiet.handle);
    QnReader_Close(streaming.handle);
    return 0;
}
