#include "firmware_upgrade.h"

#include <algorithm>
#include <vector>

namespace firmware {

namespace {

constexpr const char *kMayNeedAgain = "; the reader may need the upgrade again";

std::size_t roundUpToUnit(std::size_t size) {
    return (size + kBlockUnit - 1) / kBlockUnit * kBlockUnit;
}

std::string countsText(std::size_t blocks, std::size_t blockTotal, std::size_t bytes,
                       std::size_t byteTotal) {
    return std::to_string(blocks) + " of " + std::to_string(blockTotal) + " blocks (" +
           std::to_string(bytes) + " of " + std::to_string(byteTotal) + " bytes)";
}

std::string triesText(int resends) {
    return resends == 0 ? "1 try" : std::to_string(resends + 1LL) + " tries";
}

// Sends one block, resending it while it is not acknowledged; false when it never was or
// the upgrade was cancelled first (`cancelled` says which).
bool sendWithResends(const UpgradeLink &link, std::uint16_t number,
                     std::span<const std::uint8_t> block, int resends,
                     const std::atomic<bool> &cancel, bool &cancelled) {
    for (int attempt = 0;; ++attempt) {
        if (cancel.load()) {
            cancelled = true;
            return false;
        }
        if (link.sendBlock(number, block)) return true;
        if (attempt >= resends) return false;
    }
}

// The upgrade stopped before block `number`: cancelled, or the block was never acknowledged.
UpgradeResult stoppedAt(const Progress &state, std::size_t number, bool cancelled, int resends) {
    UpgradeResult result{cancelled ? Outcome::Cancelled : Outcome::BlockFailed,
                         std::nullopt,
                         state.blocksSent,
                         state.bytesSent,
                         {}};
    const std::string counts =
        countsText(state.blocksSent, state.blockCount, state.bytesSent, state.totalBytes);
    if (cancelled) {
        result.reason = "cancelled after " + counts + kMayNeedAgain;
    } else {
        result.failedBlock = number;
        result.reason = "block " + std::to_string(number) + " was not acknowledged after " +
                        triesText(resends) + ", " + counts + " sent" + kMayNeedAgain;
    }
    return result;
}

// Every block in order; Completed once all were acknowledged (the end command is still due).
UpgradeResult sendBlocks(std::span<const std::uint8_t> image, const UpgradeOptions &options,
                         const UpgradeLink &link, const ProgressCallback &progress,
                         const std::atomic<bool> &cancel) {
    const auto start = std::chrono::steady_clock::now();
    Progress state{0, blockCount(image.size(), options.blockSize), 0, roundUpToUnit(image.size())};
    std::vector<std::uint8_t> paddedBlock;  // a short last block, padded
    for (std::size_t number = 0; number < state.blockCount; ++number) {
        const std::size_t offset = number * options.blockSize;
        auto block = image.subspan(offset, std::min(options.blockSize, image.size() - offset));
        if (block.size() % kBlockUnit != 0) {
            paddedBlock.assign(block.begin(), block.end());
            paddedBlock.resize(roundUpToUnit(block.size()), kPadding);
            block = paddedBlock;
        }
        bool cancelled = false;
        if (!sendWithResends(link, static_cast<std::uint16_t>(number), block, options.resends,
                             cancel, cancelled)) {
            return stoppedAt(state, number, cancelled, options.resends);
        }
        ++state.blocksSent;
        state.bytesSent += block.size();
        state.elapsed = std::chrono::steady_clock::now() - start;
        if (progress) progress(state);
    }
    return {Outcome::Completed, std::nullopt, state.blocksSent, state.bytesSent, {}};
}

}  // namespace

double Progress::bytesPerSecond() const {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return seconds > 0 ? static_cast<double>(bytesSent) / seconds : 0.0;
}

std::optional<Duration> Progress::timeLeft() const {
    const double rate = bytesPerSecond();
    if (rate <= 0) return std::nullopt;
    const double seconds = static_cast<double>(totalBytes - bytesSent) / rate;
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(seconds));
}

std::string optionsProblem(const UpgradeOptions &options) {
    const std::size_t size = options.blockSize;
    if (size < kBlockUnit || size > kLargestBlock || size % kBlockUnit != 0) {
        return "block size " + std::to_string(size) + " is not a multiple of 16 from 16 to " +
               std::to_string(kLargestBlock);
    }
    if (options.resends < 0) return "the number of resends cannot be negative";
    return {};
}

std::string imageProblem(std::size_t imageSize, const UpgradeOptions &options) {
    if (imageSize == 0) return "the image is empty";
    if (blockCount(imageSize, options.blockSize) > kMostBlocks) {
        return "the image needs more than " + std::to_string(kMostBlocks) + " blocks of " +
               std::to_string(options.blockSize) + " bytes";
    }
    return {};
}

std::size_t blockCount(std::size_t imageSize, std::size_t blockSize) {
    return (imageSize + blockSize - 1) / blockSize;
}

UpgradeResult upgrade(std::span<const std::uint8_t> image, const UpgradeOptions &options,
                      const UpgradeLink &link, const ProgressCallback &progress,
                      const std::atomic<bool> &cancel) {
    UpgradeResult result;
    result.reason = optionsProblem(options);
    if (result.reason.empty()) result.reason = imageProblem(image.size(), options);
    if (!link.sendBlock || !link.sendEnd) result.reason = "no command to send blocks with";
    if (!result.reason.empty()) return result;  // Refused

    result = sendBlocks(image, options, link, progress, cancel);
    if (result.outcome != Outcome::Completed) return result;
    if (!link.sendEnd()) {
        result.outcome = Outcome::EndFailed;
        result.reason = "the end command was not acknowledged after all " +
                        std::to_string(result.blocksSent) + " blocks" + kMayNeedAgain;
    }
    return result;
}

}  // namespace firmware
