// The pseudo-terminal transport driven by the real serial library, and by a raw descriptor
// where the library would hide what is checked (echo, line discipline).
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "QnComApi.h"
#include "reader_model.h"
#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;
using readersim::VirtualReader;

std::atomic<int> g_lostEvents{0};
std::atomic<int> g_restoredEvents{0};

void countLinkEvents(int32_t event, int32_t, const uint8_t *, int32_t, const uint8_t *) {
    if (event == 1) ++g_lostEvents;
    if (event == 0) ++g_restoredEvents;
}

class PtyWithSerialLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = reader_.servePty();
        ASSERT_FALSE(path_.empty());
        ASSERT_EQ(QnCom_OpenDevice(path_.c_str(), 115200), 1);
    }
    void TearDown() override {
        QnCom_SetCallback(nullptr);
        QnCom_CloseDevice();
    }

    VirtualReader reader_;
    std::string path_;
};

TEST_F(PtyWithSerialLibrary, SystemInfoAndInventory) {
    uint8_t info[10] = {};
    ASSERT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(info[2], 0x50);
    uint8_t records[1460];
    uint16_t bytes = 0, count = 0;
    ASSERT_EQ(QnCom_InventoryG2(0xFF, records, &bytes, &count), 1);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(bytes, 5 * 16);
    EXPECT_EQ(records[0], 15);  // record length: type, antenna, 12 EPC bytes, RSSI
}

TEST_F(PtyWithSerialLibrary, TagMemoryRoundTripAndPasswordFailure) {
    const uint8_t none[4] = {0, 0, 0, 0};
    const uint8_t words[4] = {0xCA, 0xFE, 0xBA, 0xBE};
    ASSERT_EQ(QnCom_WriteCardG2(0xFF, none, 3, 2, 2, words), 1);
    uint8_t out[4] = {};
    ASSERT_EQ(QnCom_ReadCardG2(0xFF, none, 3, 2, 2, out), 1);
    EXPECT_EQ(0, std::memcmp(out, words, 4));
    const uint8_t wrong[4] = {1, 2, 3, 4};
    EXPECT_EQ(QnCom_ReadCardG2(0xFF, wrong, 3, 2, 2, out), 0);
}

TEST_F(PtyWithSerialLibrary, ParameterRecordRoundTrip) {
    uint8_t lead = 0;
    uint8_t record[64] = {};
    ASSERT_EQ(QnCom_ReadDeviceParam(0xFF, &lead, record, 64), 1);
    EXPECT_EQ(record[6], 4);
    record[4] = 12;
    ASSERT_EQ(QnCom_SetDeviceParam(0xFF, lead, record, 32), 1);
    uint8_t value = 0;
    ASSERT_EQ(QnCom_ReadDeviceOneParam(0xFF, 4, &value), 1);
    EXPECT_EQ(value, 12);
}

TEST_F(PtyWithSerialLibrary, ActiveReportsFillTheTagBuffer) {
    reader_.withModel([](readersim::ReaderModel &model) {
        model.active.period = std::chrono::milliseconds(5);
        model.active.batch = 1;
    });
    ASSERT_EQ(QnCom_StartRead(0xFF), 1);
    std::vector<uint8_t> buffer(48548);
    int32_t bytes = 0, tags = 0, total = 0;
    EXPECT_TRUE(eventually([&] {
        QnCom_GetTagBuf(buffer.data(), &bytes, &tags);
        total += tags;
        return total >= 3;
    }));
    EXPECT_EQ(QnCom_StopRead(0xFF), 1);
}

TEST_F(PtyWithSerialLibrary, WrongAddressFaultFailsAnAddressedCommand) {
    readersim::Faults faults;
    faults.wrongAddress = 0x06;
    reader_.setFaults(faults);
    uint8_t info[10];
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0x05, info), 0);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST(PtyRaw, SlaveIsRawSoNothingIsEchoedOrTranslated) {
    VirtualReader reader;
    const std::string path = reader.servePty();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    // 0x0D and 0x0A in the data would be translated by a cooked terminal.
    const Bytes request = requestFrame(0x24, {0x0D, 0x0A});
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    Bytes received;
    ASSERT_TRUE(eventually([&] {
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 10) > 0) {
            uint8_t buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) received.insert(received.end(), buffer, buffer + n);
        }
        return received.size() >= 8;
    }));
    ::close(fd);
    EXPECT_EQ(received.at(0), 0x4A);  // the answer, no echo of "ZK" ahead of it
    EXPECT_EQ(received.at(5), 0x24);
    EXPECT_EQ(received.at(6), 1);
    ASSERT_TRUE(reader.waitForRequests(1, kDeadline));
    EXPECT_EQ(reader.requests().at(0), request);
    uint8_t stored = 0;
    reader.withModel(
        [&](readersim::ReaderModel &model) { stored = model.deviceRecord.body[0x0D]; });
    EXPECT_EQ(stored, 0x0A);
}

TEST(PtyRaw, UnplugAndReplugMoveTheSymlinkAndTheLibraryReconnects) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("readersim-pty-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    // Ends in a digit: the serial library drops a trailing non-digit from port names.
    const std::string link = (dir / "tty0").string();
    {
        VirtualReader reader;
        const std::string first = reader.servePty(link);
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), first);
        QnCom_SetCallback(countLinkEvents);
        ASSERT_EQ(QnCom_OpenDevice(link.c_str(), 115200), 1);
        uint8_t info[10];
        ASSERT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
        g_lostEvents = 0;
        g_restoredEvents = 0;

        reader.unplug();
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
        EXPECT_TRUE(eventually([] { return g_lostEvents > 0; }));
        reader.replug();
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), reader.ptyPath());
        EXPECT_TRUE(eventually([] { return g_restoredEvents > 0; }));
        EXPECT_TRUE(eventually([&] { return QnCom_GetDeviceSystemInfo(0xFF, info) == 1; }));
        QnCom_SetCallback(nullptr);
        QnCom_CloseDevice();
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

TEST(PtyRaw, ReportsWithoutAHostOnTheTerminalGoToTheCache) {
    VirtualReader reader;
    reader.servePty();
    reader.withModel([](readersim::ReaderModel &model) { model.specialRecord.body[22] = 1; });
    reader.startActive(std::chrono::milliseconds(1), 1);
    size_t cached = 0;
    EXPECT_TRUE(eventually([&] {
        reader.withModel(
            [&](readersim::ReaderModel &model) { cached = model.cacheRecords.size(); });
        return cached >= 3;
    }));
    EXPECT_EQ(reader.reportsSent(), 0u);
}

}  // namespace
