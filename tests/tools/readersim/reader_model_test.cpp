#include "reader_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "sim_test_support.h"

namespace {

using readersim::ReaderModel;
using readersim::Request;
using simtest::Bytes;

struct Answer {
    uint8_t address = 0;
    uint8_t command = 0;
    uint8_t status = 0xEE;
    Bytes data;
};

// Runs one command through the model and checks that the answer is a well-formed frame.
Answer ask(ReaderModel &model, uint8_t command, const Bytes &data = {}, uint8_t address = 0xFF) {
    const std::optional<Bytes> frame = model.answer(Request{address, command, data});
    if (!frame) return {};
    EXPECT_EQ(qn::checksum(*frame), 0) << "a whole frame sums to zero";
    EXPECT_EQ(qn::lengthField(frame->data()) + 4u, frame->size());
    return {(*frame)[4], (*frame)[5], (*frame)[6], simtest::dataOf(*frame)};
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes &part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Bytes kZeroPassword{0, 0, 0, 0};

// --- identity ---

TEST(ModelIdentity, SystemInfoCarriesVersionsSerialAndTypeByte) {
    ReaderModel model(0xC2, 0);
    const Answer answer = ask(model, 0x10);
    EXPECT_EQ(answer.status, 1);
    EXPECT_EQ(answer.command, 0x10);
    ASSERT_EQ(answer.data.size(), 10u);
    EXPECT_EQ(answer.data[0], 0x23);
    EXPECT_EQ(answer.data[2], 0xC2);
    EXPECT_EQ(Bytes(answer.data.begin() + 2, answer.data.begin() + 9),
              Bytes(model.serial.begin(), model.serial.end()));
}

TEST(ModelIdentity, SetSystemInfoNeedsThePasswordAndMayChangeTheFamily) {
    ReaderModel model(0x50, 0);
    const Bytes serial{0xD2, 1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ask(model, 0x12, concat({{1, 2, 3, 4}, {0x31, 0x12}, serial})).status, 0);
    EXPECT_EQ(ask(model, 0x12, concat({kZeroPassword, {0x31, 0x12}, serial})).status, 1);
    EXPECT_EQ(model.family(), readerfamily::Family::Birch);
    EXPECT_EQ(model.firmwareVersion, 0x31);
    EXPECT_EQ(ask(model, 0x20).data.size(), 2u + 16u);  // Birch records are 16 bytes
}

TEST(ModelIdentity, DeviceIdRoundTrip) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x17, concat({kZeroPassword, {9, 8, 7, 6}})).status, 1);
    const Answer answer = ask(model, 0x16, kZeroPassword);
    EXPECT_EQ(answer.data, (Bytes{9, 8, 7, 6, 0x50}));
    EXPECT_EQ(ask(model, 0x16, {1, 1, 1, 1}).status, 0);
}

// --- records ---

TEST(ModelRecords, DeviceRecordSizesFollowTheFamily) {
    const std::pair<const char *, size_t> sizes[] = {{"fir", 64},    {"hazel", 64},   {"elm", 200},
                                                     {"cedar", 100}, {"cedar2", 100}, {"birch", 16},
                                                     {"birch2", 16}, {"alder", 128}};
    for (const auto &[name, size] : sizes) {
        ReaderModel model(*readerfamily::parseFamilyOrType(name), 0);
        const Answer answer = ask(model, 0x20);
        EXPECT_EQ(answer.data.size(), 2 + size) << name;
        EXPECT_EQ(answer.data[2 + 6], std::string(name) == "birch2" ? 0 : 4)
            << name << ": 115200 baud index";
        EXPECT_EQ(answer.data[2 + 7], 49) << name << ": US plan, upper channel";
        EXPECT_EQ(answer.data[2 + 8], 0x80) << name << ": US plan, lower channel";
    }
}

TEST(ModelRecords, NetworkDefaultsHoldAddressPortAndMac) {
    ReaderModel model;
    const Answer answer = ask(model, 0x26);
    ASSERT_EQ(answer.data.size(), 3u + 250u);
    const Bytes body(answer.data.begin() + 3, answer.data.end());
    EXPECT_EQ(Bytes(body.begin() + 6, body.begin() + 10), (Bytes{192, 168, 1, 250}));
    EXPECT_EQ(body[22], 0x60);  // 60000, little-endian
    EXPECT_EQ(body[23], 0xEA);
    EXPECT_EQ(body[0], 0x02);  // locally administered MAC
}

TEST(ModelRecords, WritesAreReadBackWithTheirLeadingByteAndDefaultsRestore) {
    ReaderModel model;
    Bytes record(32, 0);
    record[4] = 20;
    EXPECT_EQ(ask(model, 0x21, concat({{0x7E, 0x54}, record})).status, 0);  // marker missing
    EXPECT_EQ(ask(model, 0x21, concat({{0x7E, 0x55}, record})).status, 1);
    Answer read = ask(model, 0x20);
    EXPECT_EQ(read.data[0], 0x7E);
    EXPECT_EQ(read.data[2 + 4], 20);
    EXPECT_EQ(read.data[2 + 5], 0);
    EXPECT_EQ(ask(model, 0x22).status, 1);
    read = ask(model, 0x20);
    EXPECT_EQ(read.data[2 + 5], 1);  // beeper back on

    Bytes net(160, 0);
    net[6] = 10;
    EXPECT_EQ(ask(model, 0x27, concat({{0x02, 0x55, 0x01}, net})).status, 0);  // third byte
    EXPECT_EQ(ask(model, 0x27, concat({{0x02, 0x55, 0x00}, net})).status, 1);
    EXPECT_EQ(ask(model, 0x26).data[3 + 6], 10);
    EXPECT_EQ(ask(model, 0x28).status, 1);
    EXPECT_EQ(ask(model, 0x26).data[3 + 6], 192);

    Bytes special(64, 0);
    special[22] = 1;
    EXPECT_EQ(ask(model, 0x2F, concat({{0x03, 0x55}, special})).status, 1);
    const Answer readSpecial = ask(model, 0x2E);
    EXPECT_EQ(readSpecial.data.size(), 2u + 200u);
    EXPECT_EQ(readSpecial.data[2 + 22], 1);
}

TEST(ModelRecords, DesktopFamiliesHaveNoNetworkRecord) {
    ReaderModel model(0xD2, 0);
    EXPECT_EQ(ask(model, 0x26).status, 0);
    EXPECT_EQ(ask(model, 0x2E).status, 0);
}

TEST(ModelRecords, OneParameterAddressesTheDeviceRecord) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x24, {4, 17}).status, 1);
    EXPECT_EQ(ask(model, 0x23, {4}).data, (Bytes{4, 17}));
    EXPECT_EQ(model.deviceRecord.body[4], 17);
    EXPECT_EQ(ask(model, 0x23, {64}).status, 0);  // Fir records end at 63
}

// --- clock, hardware state ---

TEST(ModelDevice, ClockRunsFromTheSetTime) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x2C, {31, 3, 7, 9, 5, 1}).status, 1);
    const Bytes now = ask(model, 0x2B).data;
    ASSERT_EQ(now.size(), 6u);
    EXPECT_EQ(Bytes(now.begin(), now.begin() + 5), (Bytes{31, 3, 7, 9, 5}));
    EXPECT_GE(now[5], 1);
    EXPECT_EQ(ask(model, 0x2C, {31, 13, 7, 9, 5, 1}).status, 0);  // month 13
    EXPECT_EQ(ask(model, 0x2C, {31, 3, 7}).status, 0);
}

TEST(ModelDevice, RelayFollowsCommandsWhereTheFamilyHasOne) {
    ReaderModel fir;
    EXPECT_EQ(ask(fir, 0x85).status, 1);
    EXPECT_TRUE(fir.relayClosed);
    EXPECT_EQ(ask(fir, 0x86).status, 1);
    EXPECT_FALSE(fir.relayClosed);
    ReaderModel alder(0xE0, 0);
    EXPECT_EQ(ask(alder, 0x85).status, 0);
}

TEST(ModelDevice, AntennaCheckReportsConnectedAntennasOfTheType) {
    ReaderModel hazel(0xC2, 0);
    EXPECT_EQ(ask(hazel, 0xE1).data, (Bytes{2, 0x03}));
    hazel.connectedAntennas = 0x05;  // antenna 3 does not exist on this model
    EXPECT_EQ(ask(hazel, 0xE1).data, (Bytes{2, 0x01}));
    ReaderModel fir;
    EXPECT_EQ(ask(fir, 0xE1).data, (Bytes{4, 0x0F}));
    EXPECT_EQ(ask(fir, 0xE0).data, (Bytes{1}));
}

TEST(ModelDevice, GprsTextsHaveTheirFixedSizes) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0xF0).data, (Bytes{1}));
    const Bytes signal = ask(model, 0xF1).data;
    ASSERT_EQ(signal.size(), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(signal.data())), "CSQ:24");
    EXPECT_EQ(ask(model, 0xF2).data.size(), 64u);
    const Bytes gps = ask(model, 0xF3).data;
    EXPECT_EQ(gps.size(), 1024u);
    EXPECT_EQ(gps[0], '$');
    ReaderModel elm(0xC3, 0);
    EXPECT_EQ(ask(elm, 0xF3).status, 0);
}

TEST(ModelDevice, UnknownCommandFailsWithItsEcho) {
    ReaderModel model;
    const Answer answer = ask(model, 0x77);
    EXPECT_EQ(answer.command, 0x77);
    EXPECT_EQ(answer.status, 0);
}

TEST(ModelDevice, AnswersComeFromTheAddressedReader) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x10, {}, 0xFF).address, model.address());
    EXPECT_EQ(ask(model, 0x10, {}, 0x05).address, 0x05);
}

// --- tags ---

TEST(ModelTags, InventoryListsVisibleTagsAsRecords) {
    ReaderModel model(0x50, 3);
    const Answer answer = ask(model, 0x01, {0, 0, 0});
    ASSERT_EQ(answer.status, 1);
    EXPECT_EQ(answer.data[0], 0);
    EXPECT_EQ(answer.data[1], 3);
    size_t offset = 2;
    for (const auto &tag : model.tags) {
        const Bytes body = tag.recordBody();
        ASSERT_EQ(answer.data[offset], body.size());
        const auto first = answer.data.begin() + static_cast<std::ptrdiff_t>(offset) + 1;
        EXPECT_EQ(Bytes(first, first + static_cast<std::ptrdiff_t>(body.size())), body);
        offset += 1 + body.size();
    }
    EXPECT_EQ(offset, answer.data.size());
}

TEST(ModelTags, DisabledAntennaHidesItsTags) {
    ReaderModel model(0x50, 4);  // tags on antennas 1..4
    model.deviceRecord.body[19] = 0x05;
    const Answer answer = ask(model, 0x01, {0, 0, 0});
    EXPECT_EQ(answer.data[1], 2);
    model.deviceRecord.body[19] = 0;
    EXPECT_EQ(ask(model, 0x01, {0, 0, 0}).status, 0);  // nothing answered
}

TEST(ModelTags, InventoryAnswersFiftyTagsAtATimeTakingThemInTurn) {
    ReaderModel model(0x50, 120);
    // Each answer starts where the last one ended, wrapping round the field.
    for (const size_t first : {0u, 50u, 100u, 30u}) {
        const Answer answer = ask(model, 0x01, {0, 0, 0});
        EXPECT_LE(answer.data.size(), 1453u);
        EXPECT_EQ(answer.data[0] << 8 | answer.data[1], 50);
        const Bytes body = model.tags[first].recordBody();
        EXPECT_EQ(Bytes(answer.data.begin() + 3, answer.data.begin() + 3 + 15), body);
    }
}

TEST(ModelTags, SmallFieldIsAnsweredInTheSameOrderEveryTime) {
    ReaderModel model(0x50, 7);
    const Bytes first = ask(model, 0x01, {0, 0, 0}).data;
    EXPECT_EQ(ask(model, 0x01, {0, 0, 0}).data, first);
}

TEST(ModelTags, ReadWriteAndEpcWriteReachTheFirstTag) {
    ReaderModel model(0x50, 2);
    EXPECT_EQ(ask(model, 0x03, concat({{3, 4, 2}, kZeroPassword, {1, 2, 3, 4}})).status, 1);
    EXPECT_EQ(ask(model, 0x02, concat({{3, 4, 2}, kZeroPassword})).data, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(ask(model, 0x03, concat({{3, 4, 2}, kZeroPassword, {1, 2, 3}})).status, 0);  // short
    EXPECT_EQ(ask(model, 0x02, concat({{4, 0, 1}, kZeroPassword})).status, 0);  // no bank 4
    EXPECT_EQ(ask(model, 0x02, concat({{2, 6, 1}, kZeroPassword})).status, 0);  // past TID
    EXPECT_EQ(ask(model, 0x04, concat({{2}, kZeroPassword, {0xAB, 0xCD, 0xEF, 0x01}})).status, 1);
    EXPECT_EQ(model.tags[0].epc(), (Bytes{0xAB, 0xCD, 0xEF, 0x01}));
    EXPECT_NE(model.tags[1].epc(), model.tags[0].epc());
}

TEST(ModelTags, LockAndPasswordsAsTheTagDecides) {
    ReaderModel model(0x50, 1);
    model.tags[0].setAccessPassword({1, 2, 3, 4});
    const Bytes secret{1, 2, 3, 4};
    const uint8_t secureUser = 0x02;  // USER area, secured
    EXPECT_EQ(ask(model, 0x05, concat({{secureUser}, kZeroPassword})).status, 0);
    EXPECT_EQ(ask(model, 0x05, concat({{secureUser}, secret})).status, 1);
    EXPECT_EQ(ask(model, 0x03, concat({{3, 0, 1}, kZeroPassword, {7, 7}})).status, 0);
    EXPECT_EQ(ask(model, 0x03, concat({{3, 0, 1}, secret, {7, 7}})).status, 1);
}

TEST(ModelTags, EmptyFieldFailsTagCommands) {
    ReaderModel model(0x50, 0);
    EXPECT_EQ(ask(model, 0x01, {0, 0, 0}).status, 0);
    EXPECT_EQ(ask(model, 0x02, concat({{1, 2, 1}, kZeroPassword})).status, 0);
}

TEST(ModelTags, FrequencyBytesNeedAValidPlanAndChannel) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x0A, {0x05, 0x85}).status, 1);
    EXPECT_EQ(model.deviceRecord.body[7], 0x05);
    EXPECT_EQ(ask(model, 0x0A, {0x4E, 0x00}).status, 1);  // EU channel 14
    EXPECT_EQ(ask(model, 0x0A, {0x4F, 0x00}).status, 0);  // EU has no channel 15
    EXPECT_EQ(ask(model, 0x0A, {0x05, 0x05}).status, 0);  // no such region
}

// --- white list, cache, upgrade, self-kill ---

TEST(ModelLists, WhiteListWriteReadDelete) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x4B, {0, 3, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}).status, 1);
    EXPECT_EQ(ask(model, 0x4B, {0, 2, 1, 1, 1, 1}).status, 0);  // count says 2, carries 1
    EXPECT_EQ(ask(model, 0x4A, {0, 0}).data, (Bytes{0, 3, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}));
    EXPECT_EQ(ask(model, 0x4A, {0, 2}).data, (Bytes{0, 1, 3, 3, 3, 3}));
    EXPECT_EQ(ask(model, 0x4D, {2, 2, 2, 2}).status, 1);
    EXPECT_EQ(ask(model, 0x4D, {2, 2, 2, 2}).status, 0);
    EXPECT_EQ(ask(model, 0x4A, {0, 0}).data[1], 2);
    EXPECT_EQ(ask(model, 0x4C).status, 1);
    EXPECT_EQ(ask(model, 0x4A, {0, 0}).data, (Bytes{0, 0}));
}

TEST(ModelLists, CacheRecordsAreCountedAndDeleted) {
    ReaderModel model;
    model.cacheRecords = {{3, 1, 1, 0xAA}, {3, 1, 2, 0xBB}};
    EXPECT_EQ(ask(model, 0x43).data, (Bytes{0, 2, 3, 1, 1, 0xAA, 3, 1, 2, 0xBB}));
    EXPECT_EQ(ask(model, 0x44).status, 1);
    EXPECT_EQ(ask(model, 0x43).data, (Bytes{0, 0}));
}

Bytes block(int number, size_t size) {
    Bytes data{static_cast<uint8_t>(size / 16), static_cast<uint8_t>(number >> 8),
               static_cast<uint8_t>(number)};
    data.insert(data.end(), size, static_cast<uint8_t>(number));
    return data;
}

TEST(ModelUpgrade, InOrderUploadCompletes) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x34).status, 0);  // nothing uploaded
    EXPECT_EQ(ask(model, 0x33, block(0, 1024)).status, 1);
    EXPECT_EQ(ask(model, 0x33, block(1, 1024)).status, 1);
    EXPECT_EQ(ask(model, 0x33, block(1, 1024)).status, 1);  // resent after a lost answer
    EXPECT_EQ(ask(model, 0x33, block(2, 32)).status, 1);
    EXPECT_FALSE(model.upgrade.completed);
    EXPECT_EQ(ask(model, 0x34).status, 1);
    EXPECT_TRUE(model.upgrade.completed);
    EXPECT_EQ(model.upgrade.completedImage.size(), 2080u);
}

TEST(ModelUpgrade, OutOfOrderBlockFailsAndSpoilsTheUpload) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x33, block(0, 64)).status, 1);
    EXPECT_EQ(ask(model, 0x33, block(2, 64)).status, 0);
    EXPECT_EQ(ask(model, 0x33, block(1, 64)).status, 1);
    EXPECT_EQ(ask(model, 0x34).status, 0);
    EXPECT_FALSE(model.upgrade.completed);
    // Starting again from block 0 recovers.
    EXPECT_EQ(ask(model, 0x33, block(0, 64)).status, 1);
    EXPECT_EQ(ask(model, 0x34).status, 1);
}

TEST(ModelUpgrade, BlockLengthMustMatchItsLengthByte) {
    ReaderModel model;
    Bytes data = block(0, 64);
    data.pop_back();
    EXPECT_EQ(ask(model, 0x33, data).status, 0);
}

TEST(ModelUpgrade, PasswordVariantChecksThePassword) {
    ReaderModel model;
    model.devicePassword = {9, 9, 9, 9};
    EXPECT_EQ(ask(model, 0x36, concat({kZeroPassword, block(0, 16)})).status, 0);
    EXPECT_EQ(ask(model, 0x36, concat({{9, 9, 9, 9}, block(0, 16)})).status, 1);
    EXPECT_EQ(ask(model, 0x34).status, 0);  // the other variant's end
    EXPECT_EQ(ask(model, 0x37, {9, 9, 9, 9}).status, 1);
    EXPECT_EQ(model.upgrade.completedImage.size(), 16u);
}

TEST(ModelDevice, SelfKillSilencesTheReader) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x35, {1, 2, 3, 4}).status, 0);
    EXPECT_EQ(ask(model, 0x35, kZeroPassword).status, 1);
    EXPECT_FALSE(model.answer(Request{0xFF, 0x10, {}}));
}

// --- active mode ---

TEST(ModelActive, StartStopAndWorkModeDriveActiveMode) {
    ReaderModel model;
    EXPECT_EQ(ask(model, 0x2D).data, (Bytes{0}));
    ask(model, 0x41);
    EXPECT_TRUE(model.activeRunning);
    EXPECT_EQ(ask(model, 0x2D).data, (Bytes{1}));
    ask(model, 0x40);
    EXPECT_FALSE(model.activeRunning);
    ask(model, 0x24, {1, 1});  // work mode: active
    EXPECT_TRUE(model.activeRunning);
    ask(model, 0x22);  // defaults: answer mode again
    EXPECT_FALSE(model.activeRunning);
}

TEST(ModelActive, ReportsRotateThroughTheFieldInBatches) {
    ReaderModel model(0x50, 3);
    const Bytes first = model.nextActiveReport(2);
    const Bytes data = simtest::dataOf(first);
    EXPECT_EQ(simtest::commandOf(first), 0x45);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 7),
              Bytes(model.serial.begin(), model.serial.end()));
    EXPECT_EQ(data[7], 2);
    EXPECT_EQ(data.size(), 8u + 2 * 16u);
    const Bytes second = simtest::dataOf(model.nextActiveReport(2));
    EXPECT_EQ(second[7], 2);
    EXPECT_EQ(Bytes(second.begin() + 9, second.begin() + 24), model.tags[2].recordBody());
    model.tags.clear();
    EXPECT_TRUE(model.nextActiveReport(2).empty());
}

}  // namespace

namespace {

TEST(ModelLists, UndeliveredReportsGoToTheCacheWhenEnabled) {
    ReaderModel model(0x50, 3);
    const Bytes report = model.nextActiveReport(2);
    model.cacheUndelivered(report);
    EXPECT_TRUE(model.cacheRecords.empty());  // cache off by default
    model.specialRecord.body[22] = 1;
    model.cacheUndelivered(report);
    ASSERT_EQ(model.cacheRecords.size(), 2u);
    Bytes expected{15};
    const Bytes body = model.tags[0].recordBody();
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(model.cacheRecords[0], expected);
    Bytes truncated(report.begin(), report.end() - 5);
    truncated.push_back(0);
    model.cacheRecords.clear();
    model.cacheUndelivered(truncated);
    EXPECT_EQ(model.cacheRecords.size(), 1u);  // the cut record is not kept
}

}  // namespace

namespace {

// Whatever a host sends, the model answers with a frame a host can parse, echoing the
// command, or stays silent only after a self-kill.
TEST(ModelRobustness, EveryCommandWithArbitraryDataGivesAWellFormedAnswer) {
    std::mt19937 random(20261208);
    ReaderModel model(0x50, 8);
    for (int command = 0; command < 256; ++command) {
        if (command == 0x35) continue;  // self-kill would end the run
        for (size_t length : {0u, 1u, 2u, 4u, 5u, 7u, 9u, 13u, 40u, 253u, 1553u}) {
            Bytes data(length);
            for (uint8_t &b : data) b = static_cast<uint8_t>(random());
            const std::optional<Bytes> frame =
                model.answer(Request{0xFF, static_cast<uint8_t>(command), data});
            ASSERT_TRUE(frame) << "command " << command << " length " << length;
            ASSERT_EQ(qn::checksum(*frame), 0);
            ASSERT_EQ(qn::lengthField(frame->data()) + 4u, frame->size());
            ASSERT_LE(frame->size(), 1461u);  // within what a host delivers
            ASSERT_EQ(simtest::commandOf(*frame), command);
        }
    }
}

}  // namespace

namespace {

// --- passing tags ---

TEST(ModelPasses, TagsPassOneAfterAnotherCountedInLooks) {
    ReaderModel model(0x50, 0);
    std::vector<readersim::VirtualTag> coming;
    for (uint8_t n = 1; n <= 2; ++n) coming.emplace_back(Bytes{0xAA, n});
    readersim::FieldPasses line;
    line.coming = coming;
    line.gapLooks = 1;
    model.scriptPasses(line);
    const auto seen = [&](uint8_t command, const Bytes &data) {
        const Answer answer = ask(model, command, data);
        return answer.status == 1 && !model.tags.empty() ? model.tags[0].epc() : Bytes{};
    };
    const Bytes inventory{0, 0, 0};
    const Bytes readEpcWord = concat({{1, 2, 1}, kZeroPassword});
    EXPECT_EQ(seen(0x01, inventory), (Bytes{0xAA, 1}));
    // A write is no look: the tag is still there, and keeps what was written.
    EXPECT_EQ(ask(model, 0x04, concat({{1}, kZeroPassword, {0xBB, 1}})).status, 1);
    EXPECT_EQ(seen(0x02, readEpcWord), (Bytes{0xBB, 1}));
    EXPECT_EQ(ask(model, 0x01, inventory).status, 0);  // the gap
    EXPECT_EQ(seen(0x01, inventory), (Bytes{0xAA, 2}));
    EXPECT_EQ(seen(0x01, inventory), (Bytes{0xAA, 2}));
    EXPECT_EQ(ask(model, 0x01, inventory).status, 0);
    EXPECT_EQ(ask(model, 0x01, inventory).status, 0);  // nobody comes any more
    ASSERT_EQ(model.passes()->passed.size(), 2u);
    EXPECT_EQ(model.passes()->passed[0].epc(), (Bytes{0xBB, 1}));
    EXPECT_EQ(model.passes()->passed[1].epc(), (Bytes{0xAA, 2}));

    readersim::FieldPasses round;
    round.coming = {readersim::VirtualTag(Bytes{0xCC, 1})};
    round.looksEach = 1;
    round.repeat = true;
    model.scriptPasses(round);
    for (int look = 0; look < 3; ++look) EXPECT_EQ(seen(0x01, inventory), (Bytes{0xCC, 1}));
}

}  // namespace
