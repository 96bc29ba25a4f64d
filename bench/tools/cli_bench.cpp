// tagbench-cli beside the SDK doing the same work, against virtual readers on loopback:
// - `tagbench-cli info`, a whole process from start to exit, beside the C example
//   many_readers opening the same reader and asking who it is (its one inventory round
//   finds an empty field and costs one short round trip more): wall time per run, runs
//   alternated in the same process (goal: the tool within 1.2 times the example);
// - `tagbench-cli inventory --format ndjson` of a 10 000-tag field, its lines read from a
//   pipe, beside the same number of rounds of the SDK's inventory loop (this program with
//   --sdk-loop), both whole processes against the same reader: sightings per second (goal: the tool
//   at 0.9 times the loop or better).
// A plain program: prints the figures and the two ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "QnReader.h"
#include "child_process.h"
#include "virtual_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kInfoRuns = 30;
constexpr int kInventoryRounds = 4000;
constexpr int kInventoryRuns = 3;
constexpr int kFieldTags = 10000;

std::unique_ptr<readersim::VirtualReader> servedReader(int tags, std::string &address) {
    readersim::ReaderOptions options;
    options.tagCount = tags;
    options.requestLogLimit = 16;  // nothing reads the log back
    auto reader = std::make_unique<readersim::VirtualReader>(options);
    address = "tcp://127.0.0.1:" + std::to_string(reader->serveTcp());
    return reader;
}

// Wall time of one whole run of the program; negative when it failed.
double timedRun(const std::string &program, const std::vector<std::string> &arguments,
                size_t *lines = nullptr) {
    const auto start = Clock::now();
    testsupport::ChildProcess child(program, arguments, testsupport::childEnvironment({}));
    const testsupport::Finished run = child.finish(std::chrono::seconds(120));
    const double seconds = Seconds(Clock::now() - start).count();
    if (lines) *lines = size_t(std::count(run.out.begin(), run.out.end(), '\n'));
    return run.status == 0 ? seconds : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool compareInfo() {
    std::string address;
    const auto reader = servedReader(0, address);
    std::vector<double> cli, example;
    for (int run = 0; run < kInfoRuns; ++run) {
        cli.push_back(timedRun(TAGBENCH_CLI_PATH, {"--reader", address, "info"}));
        example.push_back(timedRun(MANY_READERS_PATH, {"--rounds", "1", address}));
        if (cli.back() < 0 || example.back() < 0) {
            std::fprintf(stderr, "cli_bench: a run of info failed\n");
            return false;
        }
    }
    const double ratio = median(cli) / median(example);
    std::printf(
        "info: tagbench-cli %.1f ms, C example %.1f ms (medians of %d runs), "
        "ratio %.2f (goal <= 1.2)\n",
        median(cli) * 1e3, median(example) * 1e3, kInfoRuns, ratio);
    return true;
}

// The SDK's inventory loop as its own process (this program run with --sdk-loop): rounds of
// InventoryG2, each result decoded by the SDK as the tool decodes it, nothing printed but the
// count.
int runSdkLoop(const char *address, int rounds) {
    QnReader *reader = QnReader_Open(address, nullptr, 0);
    if (!reader) return 1;
    static uint8_t records[QN_TAG_RECORD_BYTES];
    static QnSighting decoded[QN_MOST_SIGHTINGS];
    long sightings = 0;
    for (int round = 0; round < rounds; ++round) {
        uint16_t byteLength = 0, tagCount = 0;
        if (!QnReader_InventoryG2(reader, 0xFF, records, &byteLength, &tagCount)) continue;
        sightings +=
            QnReader_DecodeTags(QN_TAGS_INVENTORY, records, byteLength, decoded, QN_MOST_SIGHTINGS);
    }
    QnReader_Close(reader);
    std::printf("%ld\n", sightings);
    return 0;
}

bool compareInventory(const std::string &self) {
    std::string address;
    const auto reader = servedReader(kFieldTags, address);
    const std::string rounds = std::to_string(kInventoryRounds);
    std::vector<double> cli, example;
    size_t lines = 0;
    for (int run = 0; run < kInventoryRuns; ++run) {
        example.push_back(timedRun(self, {"--sdk-loop", address, rounds}));
        cli.push_back(timedRun(TAGBENCH_CLI_PATH,
                               {"--reader", address, "inventory", "--format", "ndjson",
                                "--interval", "0", "--rounds", rounds},
                               &lines));
        if (example.back() <= 0 || cli.back() <= 0 || lines == 0) {
            std::fprintf(stderr, "cli_bench: the inventory runs failed\n");
            return false;
        }
    }
    // The same reader gives both the same tags per round: the rates compare as the times do.
    const double perRound = double(lines) / kInventoryRounds;
    std::printf(
        "inventory of %d tags, %d rounds of %.0f tags: tagbench-cli %.0f lines/s to a "
        "pipe, the SDK's loop %.0f sightings/s (medians of %d runs), ratio "
        "%.2f (goal >= 0.9)\n",
        kFieldTags, kInventoryRounds, perRound, lines / median(cli),
        perRound * kInventoryRounds / median(example), kInventoryRuns,
        median(example) / median(cli));
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::string(argv[1]) == "--sdk-loop")
        return runSdkLoop(argv[2], std::atoi(argv[3]));
    const bool info = compareInfo();
    const bool inventory = compareInventory(argv[0]);
    return info && inventory ? 0 : 1;
}
