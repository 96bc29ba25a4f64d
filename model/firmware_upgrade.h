// Loading a firmware image into a reader, block by block: the one procedure the program's
// maintenance window and tagbench-cli share. It knows nothing of a reader library: the caller
// hands it the two commands as callables, so any transport and either command variant (plain
// or password-guarded) fits.
//
// Blocks go in ascending order from 0, each a multiple of 16 bytes (the last one padded with
// 0xFF); a block the reader does not acknowledge is resent a few times, then the upgrade stops
// without the end command, which follows only the last acknowledged block.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace firmware {

using Duration = std::chrono::steady_clock::duration;

inline constexpr std::size_t kBlockUnit = 16;  // a block's length travels as length / 16
inline constexpr std::size_t kLargestBlock = 1536;
inline constexpr std::size_t kDefaultBlockSize = 1024;
inline constexpr std::size_t kMostBlocks = 65536;  // block numbers are 16 bits
inline constexpr std::uint8_t kPadding = 0xFF;     // what erased flash holds

struct UpgradeOptions {
    std::size_t blockSize = kDefaultBlockSize;
    int resends = 3;  // per block, after the first try
};

// The reader's two commands; each returns true when the reader acknowledged.
struct UpgradeLink {
    std::function<bool(std::uint16_t number, std::span<const std::uint8_t> block)> sendBlock;
    std::function<bool()> sendEnd;
};

// Where an upgrade stands after each acknowledged block.
struct Progress {
    std::size_t blocksSent = 0;
    std::size_t blockCount = 0;
    std::size_t bytesSent = 0;
    std::size_t totalBytes = 0;  // the bytes that go out, padding included
    Duration elapsed{};

    double bytesPerSecond() const;
    // Estimated from the rate so far; empty before any rate is known.
    std::optional<Duration> timeLeft() const;
};

using ProgressCallback = std::function<void(const Progress &)>;

enum class Outcome {
    Completed,    // every block and the end command acknowledged
    Refused,      // bad options or image: nothing was sent
    BlockFailed,  // a block stayed unacknowledged: no end command was sent
    EndFailed,    // every block went, the end command was not acknowledged
    Cancelled,    // stopped between blocks: no end command was sent
};

struct UpgradeResult {
    Outcome outcome = Outcome::Refused;
    std::optional<std::size_t> failedBlock;  // counted from 0
    std::size_t blocksSent = 0;              // acknowledged blocks
    std::size_t bytesSent = 0;
    std::string reason;  // one line; empty on success
};

// Why these options cannot be used, or empty when they can.
std::string optionsProblem(const UpgradeOptions &options);
// Why this image cannot go in blocks of this size, or empty when it can.
std::string imageProblem(std::size_t imageSize, const UpgradeOptions &options);
// The number of blocks an image of this size takes.
std::size_t blockCount(std::size_t imageSize, std::size_t blockSize);

// Runs the whole upgrade on the calling thread. `cancel` is looked at before every block
// (and every resend); `progress` may be empty.
UpgradeResult upgrade(std::span<const std::uint8_t> image, const UpgradeOptions &options,
                      const UpgradeLink &link, const ProgressCallback &progress,
                      const std::atomic<bool> &cancel);

}  // namespace firmware
