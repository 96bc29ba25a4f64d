// Gen-2 tag commands, white list, cache and firmware upgrade of every reader library
// against the virtual reader's tag field.
#include <algorithm>

#include "reader_fixture.h"
#include "reader_model.h"

namespace readertest {
namespace {

const uint8_t kNoPassword[4] = {0, 0, 0, 0};
const uint8_t kPassword[4] = {0xA1, 0xB2, 0xC3, 0xD4};
const Bytes kEpcA{0xE2, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
const Bytes kEpcB{0x30, 0x00, 0x11, 0x22};

template <class Library>
using TagCommands = ReaderTest<Library>;
TYPED_TEST_SUITE(TagCommands, AllLibraries, LibraryName);

// Walks a record run: length byte n, then n bytes.
std::vector<Bytes> splitRecords(const uint8_t *records, size_t bytes) {
    std::vector<Bytes> out;
    for (size_t at = 0; at < bytes;) {
        const size_t n = records[at];
        out.emplace_back(records + at + 1, records + std::min(bytes, at + 1 + n));
        at += 1 + n;
    }
    return out;
}

TYPED_TEST(TagCommands, InventoryReturnsEveryTagRecordAndTheirByteCount) {
    this->setField({kEpcA, kEpcB});
    std::vector<uint8_t> records(1451, 0);
    uint16_t bytes = 0, count = 0;
    ASSERT_EQ(this->qn.InventoryG2(0xFF, records.data(), &bytes, &count), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x01)), (Bytes{0, 0, 0}));
    EXPECT_EQ(count, 2);
    const auto bodies = splitRecords(records.data(), bytes);
    ASSERT_EQ(bodies.size(), 2u);
    Bytes expectedA, expectedB;
    this->reader_->withModel([&](readersim::ReaderModel &model) {
        expectedA = model.tags[0].recordBody();
        expectedB = model.tags[1].recordBody();
    });
    EXPECT_EQ(bodies[0], expectedA);
    EXPECT_EQ(bodies[1], expectedB);
    EXPECT_TRUE(std::search(bodies[0].begin(), bodies[0].end(), kEpcA.begin(), kEpcA.end()) !=
                bodies[0].end());
}

TYPED_TEST(TagCommands, InventoryByteLengthFollowsTheWholeLengthField) {
    this->answerOnce(0x01, {0x00, 0x07});  // length field 6: only the count
    std::vector<uint8_t> records(1451, 0xCC);
    uint16_t bytes = 99, count = 0;
    ASSERT_EQ(this->qn.InventoryG2(0xFF, records.data(), &bytes, &count), 1);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(count, 7);

    Bytes data{0x00, 0x01};
    data.insert(data.end(), 256, 0x5A);  // length field 0x0106
    this->answerOnce(0x01, data);
    ASSERT_EQ(this->qn.InventoryG2(0xFF, records.data(), &bytes, &count), 1);
    EXPECT_EQ(bytes, 256);
    EXPECT_EQ(records[255], 0x5A);
    EXPECT_EQ(records[256], 0xCC);
}

TYPED_TEST(TagCommands, EmptyFieldFailsAndLeavesOutArgumentsAlone) {
    this->setField({});
    std::vector<uint8_t> records(1451, 0xCC);
    uint16_t bytes = 77, count = 77;
    EXPECT_EQ(this->qn.InventoryG2(0xFF, records.data(), &bytes, &count), 0);
    EXPECT_EQ(bytes, 77);
    EXPECT_EQ(count, 77);
    Bytes out(12, 0xCC);
    EXPECT_EQ(this->qn.ReadCardG2(0xFF, kNoPassword, 1, 2, 6, out.data()), 0);
    EXPECT_EQ(out, Bytes(12, 0xCC));
}

TYPED_TEST(TagCommands, ReadCopiesTwoBytesPerWord) {
    this->setField({kEpcA});
    this->reader_->withModel([](readersim::ReaderModel &model) {
        model.tags[0].setAccessPassword({0xA1, 0xB2, 0xC3, 0xD4});
    });
    Bytes out(14, 0xCC);
    ASSERT_EQ(this->qn.ReadCardG2(0xFF, kPassword, 1, 2, 6, out.data()), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x02)), (Bytes{1, 2, 6, 0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 12), kEpcA);  // EPC words start at word 2
    EXPECT_EQ(out[12], 0xCC);
}

TYPED_TEST(TagCommands, WrittenUserWordsReadBack) {
    this->setField({kEpcA});
    const Bytes words{0xDE, 0xAD, 0xBE, 0xEF};
    ASSERT_EQ(this->qn.WriteCardG2(0xFF, kNoPassword, 3, 4, 2, words.data()), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x03)),
              (Bytes{3, 4, 2, 0, 0, 0, 0, 0xDE, 0xAD, 0xBE, 0xEF}));
    Bytes back(4, 0);
    ASSERT_EQ(this->qn.ReadCardG2(0xFF, kNoPassword, 3, 4, 2, back.data()), 1);
    EXPECT_EQ(back, words);
    // Past the end of the user bank the tag refuses.
    EXPECT_EQ(this->qn.WriteCardG2(0xFF, kNoPassword, 3, 250, 2, words.data()), 0);
}

TYPED_TEST(TagCommands, EpcWriteSendsCountPasswordThenWordsAndChangesTheTag) {
    this->setField({kEpcB});
    ASSERT_EQ(this->qn.WriteEPCG2(0xFF, kNoPassword, kEpcA.data(), 6), 1);
    const Bytes data = requestData(*this->lastRequest(0x04));
    ASSERT_EQ(data.size(), 17u);
    EXPECT_EQ(data[0], 6);
    EXPECT_EQ(Bytes(data.begin() + 5, data.end()), kEpcA);
    Bytes epc;
    this->reader_->withModel([&](readersim::ReaderModel &model) { epc = model.tags[0].epc(); });
    EXPECT_EQ(epc, kEpcA);
}

TYPED_TEST(TagCommands, LockedBankRefusesWritesWithoutTheAccessPassword) {
    this->setField({kEpcA});
    this->reader_->withModel([](readersim::ReaderModel &model) {
        model.tags[0].setAccessPassword({0xA1, 0xB2, 0xC3, 0xD4});
    });
    // Secure the user bank with the password: the bare area number (the action "secure" is 0).
    const uint8_t lockUser = uint8_t(readersim::LockArea::User);
    ASSERT_EQ(this->qn.LockCardG2(0xFF, kPassword, lockUser), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x05)), (Bytes{lockUser, 0xA1, 0xB2, 0xC3, 0xD4}));
    const Bytes words{1, 2};
    EXPECT_EQ(this->qn.WriteCardG2(0xFF, kNoPassword, 3, 0, 1, words.data()), 0);
    EXPECT_EQ(this->qn.WriteCardG2(0xFF, kPassword, 3, 0, 1, words.data()), 1);
}

TYPED_TEST(TagCommands, FrequencyBytesGoOutAsGiven) {
    this->qn.SetFreq(0xFF, 0x12, 0x34);  // whether the pair is valid is the reader's business
    EXPECT_EQ(requestData(*this->lastRequest(0x0A)), (Bytes{0x12, 0x34}));
}

TYPED_TEST(TagCommands, WhiteListEntriesAreWrittenReadAndDeleted) {
    ASSERT_EQ(this->qn.DeleteAllWhiteList(0xFF), 1);
    const Bytes entries{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3};
    ASSERT_EQ(this->qn.WriteWhiteList(0xFF, entries.data(), 3), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x4B)).size(), 14u);

    Bytes read(1452, 0);
    uint16_t count = 0;  // selector: from the first entry
    ASSERT_EQ(this->qn.ReadWhiteList(0xFF, read.data(), &count), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x4A)), (Bytes{0, 0}));
    ASSERT_EQ(count, 3);
    EXPECT_EQ(Bytes(read.begin(), read.begin() + 12), entries);

    const uint8_t second[4] = {2, 2, 2, 2};
    ASSERT_EQ(this->qn.DeleteOneWhiteList(0xFF, second), 1);
    count = 0;
    ASSERT_EQ(this->qn.ReadWhiteList(0xFF, read.data(), &count), 1);
    EXPECT_EQ(count, 2);
}

TYPED_TEST(TagCommands, WhiteListCountNeverExceedsWhatTheAnswerCarries) {
    this->answerOnce(0x4A, {0x00, 0x09, 1, 2, 3, 4});  // claims 9 entries, carries one
    Bytes read(36, 0xCC);
    uint16_t count = 0;
    ASSERT_EQ(this->qn.ReadWhiteList(0xFF, read.data(), &count), 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(read[4], 0xCC);
}

TYPED_TEST(TagCommands, CacheByteLengthComesFromTheLengthField) {
    this->answerOnce(0x43, {0x00, 0x01, 0xAB, 0xCD});  // length field 8
    uint16_t records = 0, bytes = 0;
    Bytes out(1451, 0);
    ASSERT_EQ(this->qn.GetDevCache(0xFF, &records, out.data(), &bytes), 1);
    EXPECT_EQ(records, 1);
    EXPECT_EQ(bytes, 2);
    EXPECT_EQ(out[0], 0xAB);
    EXPECT_EQ(this->qn.DelDevCache(0xFF), 1);
}

TYPED_TEST(TagCommands, AWholeFirmwareUploadCompletes) {
    const Bytes block(1024, 0x3C);
    for (uint16_t number = 0; number < 4; ++number) {
        ASSERT_EQ(this->qn.UpgradeDevData(0xFF, 1024, number, block.data()), 1) << number;
    }
    const Bytes data = requestData(*this->lastRequest(0x33));
    EXPECT_EQ((Bytes{data[0], data[1], data[2]}), (Bytes{0x40, 0x00, 0x03}));
    ASSERT_EQ(this->qn.UpgradeDevEnd(0xFF), 1);
    size_t uploaded = 0;
    this->reader_->withModel([&](readersim::ReaderModel &model) {
        uploaded = model.upgrade.completed ? model.upgrade.completedImage.size() : 0;
    });
    EXPECT_EQ(uploaded, 4096u);
}

TYPED_TEST(TagCommands, OutOfOrderBlockFailsTheUpload) {
    const Bytes block(64, 0x11);
    ASSERT_EQ(this->qn.UpgradeDevData(0xFF, 64, 0, block.data()), 1);
    EXPECT_EQ(this->qn.UpgradeDevData(0xFF, 64, 2, block.data()), 0);
    EXPECT_EQ(this->qn.UpgradeDevEnd(0xFF), 0);
    EXPECT_EQ(this->qn.UpgradeDevData(0xFF, 1552, 0, block.data()), 0);  // longer than a block
}

TYPED_TEST(TagCommands, PasswordGuardedUploadAndSelfKill) {
    uint8_t password[4] = {};
    this->reader_->withModel([&](readersim::ReaderModel &model) {
        std::copy(model.devicePassword.begin(), model.devicePassword.end(), password);
    });
    const Bytes block(512, 0x77);
    ASSERT_EQ(this->qn.UpgradeDevDataIn(0xFF, password, 512, 0, block.data()), 1);
    ASSERT_EQ(this->qn.UpgradeDevDataIn(0xFF, password, 512, 1, block.data()), 1);
    EXPECT_EQ(requestData(*this->lastRequest(0x36)).size(), 4u + 3u + 512u);
    ASSERT_EQ(this->qn.UpgradeDevEndIn(0xFF, password), 1);
    ASSERT_EQ(this->qn.DeviceSelfKill(0xFF, password), 1);
    uint8_t info[10] = {};
    EXPECT_EQ(this->qn.GetDeviceSystemInfo(0xFF, info), 0);  // a killed reader stays silent
}

}  // namespace
}  // namespace readertest
