// The upgrade routine with its link as two plain functions: what it sends, in which order,
// and when it stops.
#include "firmware_upgrade.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

using firmware::Outcome;
using Bytes = std::vector<std::uint8_t>;

// What a link was asked to send, in order.
struct SentLog {
    std::vector<std::uint16_t> blockNumbers;  // every try, resends included
    std::vector<Bytes> blocks;
    int endCommands = 0;
    bool endAfterBlocks = true;  // no block followed the end command
};

// A link that refuses the first `refusals` tries of block `refusedBlock` and acknowledges
// everything else (the end command as `endAcknowledged` says).
struct TestLink {
    SentLog log;
    int refusedBlock = -1;
    int refusals = 0;
    bool endAcknowledged = true;

    firmware::UpgradeLink link() {
        return {[this](std::uint16_t number, std::span<const std::uint8_t> block) {
                    if (log.endCommands > 0) log.endAfterBlocks = false;
                    log.blockNumbers.push_back(number);
                    log.blocks.emplace_back(block.begin(), block.end());
                    if (number == refusedBlock && refusals > 0) {
                        --refusals;
                        return false;
                    }
                    return true;
                },
                [this] {
                    ++log.endCommands;
                    return endAcknowledged;
                }};
    }
};

Bytes imageOf(std::size_t size) {
    Bytes image(size);
    std::iota(image.begin(), image.end(), std::uint8_t{7});
    return image;
}

firmware::UpgradeOptions withBlockSize(std::size_t blockSize) {
    firmware::UpgradeOptions options;
    options.blockSize = blockSize;
    return options;
}

const std::atomic<bool> kNeverCancel{false};

// Every image size with every block size: blocks numbered in order, each full but the last,
// the last padded with 0xFF to a multiple of 16, the end command once after them, progress
// after every block.
TEST(FirmwareUpgrade, SendsEveryBlockInOrderThenTheEndCommand) {
    for (const std::size_t imageSize : {1u, 16u, 1023u, 1024u, 1025u, 100u * 1024u}) {
        for (const std::size_t blockSize : {16u, 1024u, 1536u}) {
            const std::string label =
                std::to_string(imageSize) + " bytes in blocks of " + std::to_string(blockSize);
            const Bytes image = imageOf(imageSize);
            TestLink test;
            std::vector<firmware::Progress> reports;
            const auto result = firmware::upgrade(
                image, withBlockSize(blockSize), test.link(),
                [&](const firmware::Progress &p) { reports.push_back(p); }, kNeverCancel);
            const std::size_t count = (imageSize + blockSize - 1) / blockSize;
            const std::size_t padded = (imageSize + 15) / 16 * 16;
            EXPECT_EQ(result.outcome, Outcome::Completed) << label << ": " << result.reason;
            EXPECT_EQ(result.reason, "") << label;
            EXPECT_EQ(result.blocksSent, count) << label;
            EXPECT_EQ(result.bytesSent, padded) << label;
            ASSERT_EQ(test.log.blocks.size(), count) << label;
            Bytes sent;
            for (std::size_t i = 0; i < count; ++i) {
                EXPECT_EQ(test.log.blockNumbers[i], i) << label;
                const std::size_t expectedSize = i + 1 < count ? blockSize : padded - i * blockSize;
                EXPECT_EQ(test.log.blocks[i].size(), expectedSize) << label << ", block " << i;
                sent.insert(sent.end(), test.log.blocks[i].begin(), test.log.blocks[i].end());
            }
            Bytes expected = image;
            expected.resize(padded, 0xFF);
            EXPECT_EQ(sent, expected) << label;
            EXPECT_EQ(test.log.endCommands, 1) << label;
            EXPECT_TRUE(test.log.endAfterBlocks) << label;
            ASSERT_EQ(reports.size(), count) << label;
            EXPECT_EQ(reports.back().blocksSent, count) << label;
            EXPECT_EQ(reports.back().blockCount, count) << label;
            EXPECT_EQ(reports.back().bytesSent, padded) << label;
            EXPECT_EQ(reports.back().totalBytes, padded) << label;
        }
    }
}

// A refused block is resent up to three times; refused a fourth time, the upgrade stops
// there, names the block and sends no end command.
TEST(FirmwareUpgrade, ResendsARefusedBlockThenGivesUp) {
    struct Case {
        int refusals;
        Outcome outcome;
        int resends = 3;
        std::string tries = "4 tries";
    };
    const Case cases[] = {
        {1, Outcome::Completed},
        {3, Outcome::Completed},
        {4, Outcome::BlockFailed},
        {100, Outcome::BlockFailed},
        {1, Outcome::BlockFailed, 0, "1 try"},
    };
    for (const Case &c : cases) {
        const std::string label =
            std::to_string(c.refusals) + " refusals, " + std::to_string(c.resends) + " resends";
        TestLink test;
        test.refusedBlock = 5;
        test.refusals = c.refusals;
        firmware::UpgradeOptions options;
        options.resends = c.resends;
        const auto result =
            firmware::upgrade(imageOf(10 * 1024), options, test.link(), {}, kNeverCancel);
        EXPECT_EQ(result.outcome, c.outcome) << label << ": " << result.reason;
        const auto triesOfBlock5 =
            std::count(test.log.blockNumbers.begin(), test.log.blockNumbers.end(), 5);
        EXPECT_EQ(triesOfBlock5, std::min(c.refusals, c.resends) + 1) << label;
        if (c.outcome == Outcome::Completed) {
            EXPECT_EQ(result.blocksSent, 10u) << label;
            EXPECT_EQ(test.log.endCommands, 1) << label;
            continue;
        }
        EXPECT_EQ(result.failedBlock, 5u) << label;
        EXPECT_EQ(result.blocksSent, 5u) << label;
        EXPECT_EQ(result.bytesSent, 5u * 1024) << label;
        EXPECT_EQ(test.log.blockNumbers.back(), 5) << label;  // nothing after the failed block
        EXPECT_EQ(test.log.endCommands, 0) << label;
        EXPECT_NE(result.reason.find("block 5 was not acknowledged after " + c.tries),
                  std::string::npos)
            << result.reason;
        EXPECT_NE(result.reason.find("may need the upgrade again"), std::string::npos)
            << result.reason;
    }
}

// Cancel stops before the next block (before the first, when set early) and sends no end
// command; the result says how far the upgrade got. An end command the reader does not
// acknowledge fails the upgrade after all blocks.
TEST(FirmwareUpgrade, StopsOnCancelAndOnAnUnacknowledgedEnd) {
    for (const std::size_t cancelAfter : {0u, 1u, 4u}) {
        const std::string label = "cancelled after " + std::to_string(cancelAfter) + " blocks";
        TestLink test;
        std::atomic<bool> cancel{cancelAfter == 0};
        const auto result = firmware::upgrade(
            imageOf(8 * 1024), {}, test.link(),
            [&](const firmware::Progress &p) { cancel = p.blocksSent == cancelAfter; }, cancel);
        EXPECT_EQ(result.outcome, Outcome::Cancelled) << label;
        EXPECT_EQ(result.blocksSent, cancelAfter) << label;
        EXPECT_EQ(result.bytesSent, cancelAfter * 1024) << label;
        EXPECT_EQ(test.log.blocks.size(), cancelAfter) << label;
        EXPECT_EQ(test.log.endCommands, 0) << label;
        EXPECT_FALSE(result.failedBlock) << label;
        EXPECT_NE(result.reason.find(std::to_string(cancelAfter) + " of 8 blocks"),
                  std::string::npos)
            << result.reason;
    }

    TestLink test;
    test.endAcknowledged = false;
    const auto result = firmware::upgrade(imageOf(3000), {}, test.link(), {}, kNeverCancel);
    EXPECT_EQ(result.outcome, Outcome::EndFailed);
    EXPECT_EQ(result.blocksSent, 3u);
    EXPECT_EQ(test.log.endCommands, 1);
    EXPECT_NE(result.reason.find("end command"), std::string::npos) << result.reason;
}

// Options and images that cannot be sent are refused with a reason before anything goes out.
TEST(FirmwareUpgrade, RefusesBadOptionsAndImagesBeforeSending) {
    struct Case {
        std::size_t imageSize;
        std::size_t blockSize;
        std::string reason;  // a part of it
    };
    const Case cases[] = {
        {100, 0, "block size 0"},       {100, 8, "block size 8"},       {100, 17, "block size 17"},
        {100, 1552, "block size 1552"}, {100, 1537, "block size 1537"}, {0, 1024, "empty"},
        {65536 * 16 + 1, 16, "65536"},
    };
    for (const Case &c : cases) {
        TestLink test;
        const auto result = firmware::upgrade(imageOf(c.imageSize), withBlockSize(c.blockSize),
                                              test.link(), {}, kNeverCancel);
        EXPECT_EQ(result.outcome, Outcome::Refused) << c.reason;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
        EXPECT_TRUE(test.log.blocks.empty()) << c.reason;
        EXPECT_EQ(test.log.endCommands, 0) << c.reason;
    }
    firmware::UpgradeOptions noTries;
    noTries.resends = -1;
    EXPECT_NE(firmware::optionsProblem(noTries), "");
    // The largest image block numbers allow still goes.
    EXPECT_EQ(firmware::imageProblem(65536 * 16, withBlockSize(16)), "");
    EXPECT_EQ(firmware::imageProblem(65536 * 1536, withBlockSize(1536)), "");
}

// Rate and time left from where the upgrade stands.
TEST(FirmwareUpgrade, ProgressGivesRateAndTimeLeft) {
    firmware::Progress halfway{50, 100, 51200, 102400, std::chrono::seconds(2)};
    EXPECT_DOUBLE_EQ(halfway.bytesPerSecond(), 25600.0);
    ASSERT_TRUE(halfway.timeLeft());
    EXPECT_EQ(std::chrono::round<std::chrono::milliseconds>(*halfway.timeLeft()),
              std::chrono::seconds(2));
    const firmware::Progress unstarted{0, 100, 0, 102400, {}};
    EXPECT_FALSE(unstarted.timeLeft());
}

}  // namespace
