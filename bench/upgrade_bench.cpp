// A 1 MiB firmware upgrade through the model's upgrade routine and the handle library over
// TCP, beside the same requests (every block, then the end command) written to a plain
// socket and their answers read back, against two virtual readers of the same kind in the
// same run. The routine and the library must add little to the bare round trips
// (upgrade_to_raw_ratio, goal at most 1.2).
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "QnReader.h"
#include "bench_support.h"
#include "firmware_upgrade.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;
using Bytes = std::vector<uint8_t>;

constexpr size_t kImageSize = 1024 * 1024;
constexpr size_t kBlockSize = firmware::kDefaultBlockSize;
constexpr uint8_t kBlockCommand = 0x33;
constexpr uint8_t kEndCommand = 0x34;

std::unique_ptr<readersim::VirtualReader> makeReader() {
    readersim::ReaderOptions options;
    options.tagCount = 0;
    options.requestLogLimit = 16;  // the benchmark never reads the log back
    return std::make_unique<readersim::VirtualReader>(options);
}

Bytes imageBytes() {
    Bytes image(kImageSize);
    std::iota(image.begin(), image.end(), uint8_t{0});
    return image;
}

// The whole upgrade through the routine; its time, or a negative one when it failed.
double upgradeSeconds(QnReader *reader, const Bytes &image) {
    const firmware::UpgradeLink link{
        [reader](uint16_t number, std::span<const uint8_t> block) {
            return QnReader_UpgradeDevData(reader, 0xFF, static_cast<uint16_t>(block.size()),
                                           number, block.data()) == 1;
        },
        [reader] { return QnReader_UpgradeDevEnd(reader, 0xFF) == 1; }};
    const std::atomic<bool> neverCancel{false};
    const auto start = Clock::now();
    const auto result = firmware::upgrade(image, {}, link, {}, neverCancel);
    const double seconds = Seconds(Clock::now() - start).count();
    return result.outcome == firmware::Outcome::Completed ? seconds : -1;
}

// One request written whole, its answer (no data) read back within a second.
bool rawRoundTrip(int fd, uint8_t command, std::span<const uint8_t> data) {
    std::array<uint8_t, qn::kRequestBufferSize> request{};
    const size_t size = qn::buildRequest(0xFF, command, data, request);
    std::array<uint8_t, 16> answer{};
    const size_t answerSize = qn::buildResponse(0xFF, command, 1, {}, answer);
    size_t got = 0;
    if (size == 0 || qn::sendNoSignal(fd, request.data(), size) != ssize_t(size)) return false;
    while (got < answerSize) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 1000) <= 0) return false;
        const ssize_t n = ::read(fd, answer.data() + got, answerSize - got);
        if (n <= 0) return false;
        got += size_t(n);
    }
    return true;
}

// The same requests the routine sends, on a plain socket; their time, or negative.
double rawSeconds(int fd, const Bytes &image) {
    Bytes data(3 + kBlockSize);
    const auto start = Clock::now();
    for (size_t number = 0; number * kBlockSize < image.size(); ++number) {
        data[0] = kBlockSize / firmware::kBlockUnit;
        data[1] = static_cast<uint8_t>(number >> 8);
        data[2] = static_cast<uint8_t>(number);
        std::copy_n(image.begin() + std::ptrdiff_t(number * kBlockSize), kBlockSize,
                    data.begin() + 3);
        if (!rawRoundTrip(fd, kBlockCommand, data)) return -1;
    }
    if (!rawRoundTrip(fd, kEndCommand, {})) return -1;
    return Seconds(Clock::now() - start).count();
}

// The two kinds take turns, so that a change of load on the machine meets both alike.
void BM_UpgradeBesideRawRoundTrips(benchmark::State &state) {
    constexpr int kTurns = 3;
    const Bytes image = imageBytes();
    const auto viaRoutine = makeReader();
    const auto viaSocket = makeReader();
    QnReader *reader = QnReader_Open(
        ("tcp://127.0.0.1:" + std::to_string(viaRoutine->serveTcp())).c_str(), nullptr, 0);
    const int fd = benchsupport::connectLoopback(viaSocket->serveTcp());
    if (reader == nullptr || fd < 0) {
        state.SkipWithError("could not reach the virtual readers");
    } else {
        for (auto _ : state) {
            double upgrade = 0, raw = 0;
            for (int turn = 0; turn < kTurns; ++turn) {
                const double routineTurn = upgradeSeconds(reader, image);
                const double rawTurn = rawSeconds(fd, image);
                if (routineTurn < 0 || rawTurn < 0) {
                    state.SkipWithError("an upgrade failed");
                    break;
                }
                upgrade += routineTurn;
                raw += rawTurn;
            }
            state.counters["upgrade_seconds_per_mib"] = upgrade / kTurns;
            state.counters["raw_seconds_per_mib"] = raw / kTurns;
            state.counters["upgrade_to_raw_ratio"] = upgrade / raw;
        }
    }
    QnReader_Close(reader);
    if (fd >= 0) ::close(fd);
}
BENCHMARK(BM_UpgradeBesideRawRoundTrips)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
