// Gen-2 tag commands, active mode, white list, cache and upgrade over TCP.
#include <chrono>
#include <cstring>
#include <thread>

#include "net_fixture.h"

namespace nettest {
namespace {

// Walks tag records (length byte n, then n bytes); true when exactly `count` fill `size`.
bool recordsAreWellFormed(const uint8_t *records, size_t size, size_t count) {
    size_t offset = 0;
    for (size_t i = 0; i < count; ++i) {
        if (offset >= size) return false;
        offset += 1 + records[offset];
    }
    return offset == size;
}

TEST_F(NetReaderTest, InventoryReturnsTheTagsInTheField) {
    uint8_t records[1451] = {};
    uint16_t byteLength = 0;
    uint16_t tagCount = 0;
    ASSERT_EQ(QnNet_InventoryG2(0xFF, records, &byteLength, &tagCount), 1);
    EXPECT_GT(tagCount, 0);
    EXPECT_TRUE(recordsAreWellFormed(records, byteLength, tagCount));
    const auto request = lastRequest(0x01);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(requestData(*request).size(), 3u);
}

TEST_F(NetReaderTest, TagMemoryIsWrittenAndReadBack) {
    const uint8_t pwd[4] = {};
    const uint8_t words[4] = {0x12, 0x34, 0x56, 0x78};
    ASSERT_EQ(QnNet_WriteCardG2(0xFF, pwd, 3, 0, 2, words), 1);
    uint8_t read[4] = {};
    ASSERT_EQ(QnNet_ReadCardG2(0xFF, pwd, 3, 0, 2, read), 1);
    EXPECT_EQ(std::memcmp(read, words, sizeof words), 0);
}

TEST_F(NetReaderTest, EpcWriteLockAndFrequency) {
    const uint8_t pwd[4] = {};
    const uint8_t epc[12] = {0xE2, 0x00, 0x00, 0x01, 0x02, 0x03,
                             0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    ASSERT_EQ(QnNet_WriteEPCG2(0xFF, pwd, epc, 6), 1);
    const auto request = lastRequest(0x04);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(requestData(*request).size(), 17u);
    EXPECT_EQ(QnNet_SetFreq(0xFF, 0x01, 0x82), 1);  // US plan, channels 1 to 2
    EXPECT_EQ(QnNet_LockCardG2(0xFF, pwd, 3), 1);
}

TEST_F(NetReaderTest, StartReadSendsReportsToTheApplicationCallback) {
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    ASSERT_EQ(QnNet_StartRead(0xFF), 1);
    ASSERT_TRUE(app_.waitForCount(2, -1, 3));
    EXPECT_EQ(QnNet_StopRead(0xFF), 1);
    for (const auto &event : app_.events()) {
        if (event.event != 2) continue;
        ASSERT_GE(event.length, 12);
        EXPECT_EQ(event.serial.size(), 7u);
        EXPECT_TRUE(recordsAreWellFormed(event.data.data(), size_t(event.length) - 12,
                                         size_t(event.value)));
    }
}

TEST_F(NetReaderTest, EveryPushedReportReachesTheCallback) {
    QnNet_SetCallback(testsupport::CallbackRecorder::appCallback);
    reader_->startActive(std::chrono::milliseconds(2), 3);
    ASSERT_TRUE(app_.waitForCount(2, -1, 50));
    reader_->stopActive();
    // The reader counts a report just after writing it, so its count may trail briefly; a
    // lost report would keep the two apart for good.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (app_.count(2) != reader_->reportsSent() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(app_.count(2), reader_->reportsSent());
}

TEST_F(NetReaderTest, WhiteListIsWrittenReadAndDeleted) {
    const uint8_t entries[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(QnNet_WriteWhiteList(0xFF, entries, 2), 1);
    const auto request = lastRequest(0x4B);
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(requestData(*request).size(), 10u);
    answerOnce(0x4A, {0x00, 0x02, 1, 2, 3, 4, 5, 6, 7, 8});
    uint8_t read[8] = {};
    uint16_t count = 0;
    ASSERT_EQ(QnNet_ReadWhiteList(0xFF, read, &count), 1);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::memcmp(read, entries, sizeof entries), 0);
    EXPECT_EQ(QnNet_DeleteOneWhiteList(0xFF, entries), 1);
    EXPECT_EQ(QnNet_DeleteAllWhiteList(0xFF), 1);
}

TEST_F(NetReaderTest, CacheIsReadAndDeleted) {
    answerOnce(0x43, {0x00, 0x01, 0x03, 0xAA, 0xBB, 0xCC});
    uint16_t recordCount = 0;
    uint8_t records[1451] = {};
    uint16_t byteLength = 0;
    ASSERT_EQ(QnNet_GetDevCache(0xFF, &recordCount, records, &byteLength), 1);
    EXPECT_EQ(recordCount, 1);
    EXPECT_EQ(byteLength, 4);
    EXPECT_EQ(records[3], 0xCC);
    EXPECT_EQ(QnNet_DelDevCache(0xFF), 1);
}

TEST_F(NetReaderTest, FirmwareBlocksAreSent) {
    Bytes block(1024);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(QnNet_UpgradeDevData(0xFF, 1024, 0, block.data()), 1);
    ASSERT_EQ(QnNet_UpgradeDevData(0xFF, 1024, 1, block.data()), 1);
    const auto request = lastRequest(0x33);
    ASSERT_TRUE(request.has_value());
    const Bytes data = requestData(*request);
    ASSERT_EQ(data.size(), 3u + block.size());
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 3), (Bytes{0x40, 0x00, 0x01}));
    EXPECT_EQ(QnNet_UpgradeDevEnd(0xFF), 1);
}

TEST_F(NetReaderTest, GuardedFirmwareBlocksAreSent) {
    const uint8_t pwd[4] = {};
    const Bytes block(32, 0x5A);
    ASSERT_EQ(QnNet_UpgradeDevDataIn(0xFF, pwd, 32, 0, block.data()), 1);
    EXPECT_EQ(QnNet_UpgradeDevEndIn(0xFF, pwd), 1);
}

}  // namespace
}  // namespace nettest
