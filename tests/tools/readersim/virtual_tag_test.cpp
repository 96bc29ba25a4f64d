#include "virtual_tag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

using readersim::AccessResult;
using readersim::Bank;
using readersim::Bytes;
using readersim::LockArea;
using readersim::LockState;
using readersim::Password;
using readersim::VirtualTag;

const Password kNone{0, 0, 0, 0};
const Password kSecret{0x11, 0x22, 0x33, 0x44};
const Password kWrong{0x11, 0x22, 0x33, 0x45};

// The action nibble is the index of the state in secure, open, open permanently, lock
// permanently.
uint8_t lockCode(LockArea area, LockState state) {
    const LockState actions[] = {LockState::Secured, LockState::Open, LockState::PermanentlyOpen,
                                 LockState::PermanentlyLocked};
    const auto action = std::find(std::begin(actions), std::end(actions), state) - actions;
    return static_cast<uint8_t>(action << 4 | static_cast<uint8_t>(area));
}

VirtualTag sampleTag() {
    const Bytes epc{0xE2, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
    return VirtualTag(epc, Bytes{0xE2, 0x80, 0x11, 0x05});
}

TEST(VirtualTag, EpcBankHoldsCrcPcAndEpc) {
    VirtualTag tag = sampleTag();
    Bytes words;
    ASSERT_EQ(tag.read(Bank::Epc, 0, 8, kNone, words), AccessResult::Ok);
    EXPECT_EQ(words[2], 6 << 3);  // PC: six EPC words
    EXPECT_EQ(Bytes(words.begin() + 4, words.end()), tag.epc());
    // The known StoredCRC of PC 3000 + EPC E200 0001 0203 0405 0607 0809 is not all zero.
    EXPECT_NE(words[0] | words[1], 0);
    // The CRC follows the EPC.
    const Bytes before(words.begin(), words.begin() + 2);
    ASSERT_EQ(tag.write(Bank::Epc, 2, Bytes{0xAB, 0xCD}, kNone), AccessResult::Ok);
    ASSERT_EQ(tag.read(Bank::Epc, 0, 1, kNone, words), AccessResult::Ok);
    EXPECT_NE(words, before);
}

TEST(VirtualTag, AccessesBeyondTheBankFail) {
    VirtualTag tag = sampleTag();
    Bytes out{0x55};
    EXPECT_EQ(tag.read(Bank::Tid, 5, 1, kNone, out), AccessResult::Ok);
    EXPECT_EQ(tag.read(Bank::Tid, 5, 2, kNone, out), AccessResult::OutOfBounds);
    EXPECT_EQ(tag.read(Bank::User, 0, 33, kNone, out), AccessResult::OutOfBounds);
    EXPECT_EQ(tag.read(Bank::Reserved, 3, 2, kNone, out), AccessResult::OutOfBounds);
    EXPECT_EQ(tag.read(Bank::User, 0, 0, kNone, out), AccessResult::BadArgument);
    EXPECT_EQ(tag.write(Bank::User, 31, Bytes(4, 1), kNone), AccessResult::OutOfBounds);
    EXPECT_EQ(tag.write(Bank::User, 0, Bytes(3, 1), kNone), AccessResult::BadArgument);
    EXPECT_EQ(tag.write(Bank::Epc, 0, Bytes(2, 1), kNone), AccessResult::BadArgument);
}

TEST(VirtualTag, TidIsFactoryLocked) {
    VirtualTag tag = sampleTag();
    EXPECT_EQ(tag.write(Bank::Tid, 0, Bytes(2, 0), kNone), AccessResult::Locked);
}

TEST(VirtualTag, WrongPasswordFailsEvenOnOpenMemory) {
    VirtualTag tag = sampleTag();
    tag.setAccessPassword(kSecret);
    Bytes out;
    EXPECT_EQ(tag.read(Bank::User, 0, 1, kWrong, out), AccessResult::WrongPassword);
    EXPECT_EQ(tag.read(Bank::User, 0, 1, kNone, out), AccessResult::Ok);
    EXPECT_EQ(tag.read(Bank::User, 0, 1, kSecret, out), AccessResult::Ok);
}

TEST(VirtualTag, SecuredBankNeedsThePassword) {
    VirtualTag tag = sampleTag();
    tag.setAccessPassword(kSecret);
    EXPECT_EQ(tag.lock(lockCode(LockArea::User, LockState::Secured), kNone),
              AccessResult::WrongPassword);
    ASSERT_EQ(tag.lock(lockCode(LockArea::User, LockState::Secured), kSecret), AccessResult::Ok);
    EXPECT_EQ(tag.write(Bank::User, 0, Bytes{1, 2}, kNone), AccessResult::Locked);
    EXPECT_EQ(tag.write(Bank::User, 0, Bytes{1, 2}, kSecret), AccessResult::Ok);
    EXPECT_EQ(tag.user()[1], 2);
    Bytes out;
    EXPECT_EQ(tag.read(Bank::User, 0, 1, kNone, out), AccessResult::Ok);  // still readable
}

TEST(VirtualTag, LockedPasswordsCannotBeReadWithoutThePassword) {
    VirtualTag tag = sampleTag();
    tag.setAccessPassword(kSecret);
    ASSERT_EQ(tag.lock(lockCode(LockArea::AccessPassword, LockState::Secured), kSecret),
              AccessResult::Ok);
    Bytes out;
    EXPECT_EQ(tag.read(Bank::Reserved, 2, 2, kNone, out), AccessResult::Locked);
    EXPECT_EQ(tag.read(Bank::Reserved, 0, 2, kNone, out), AccessResult::Ok);  // kill stays open
    ASSERT_EQ(tag.read(Bank::Reserved, 2, 2, kSecret, out), AccessResult::Ok);
    EXPECT_EQ(out, Bytes(kSecret.begin(), kSecret.end()));
}

TEST(VirtualTag, PermanentLocksCannotBeUndone) {
    VirtualTag tag = sampleTag();
    ASSERT_EQ(tag.lock(lockCode(LockArea::Epc, LockState::PermanentlyLocked), kNone),
              AccessResult::Ok);
    EXPECT_EQ(tag.lock(lockCode(LockArea::Epc, LockState::Open), kNone), AccessResult::Locked);
    EXPECT_EQ(tag.writeEpc(Bytes{1, 2}, kNone), AccessResult::Locked);
    EXPECT_EQ(tag.lock(lockCode(LockArea::Epc, LockState::PermanentlyLocked), kNone),
              AccessResult::Ok);  // re-stating the same permanent state is accepted
}

TEST(VirtualTag, InvalidLockCodesAreRejected) {
    VirtualTag tag = sampleTag();
    EXPECT_EQ(tag.lock(0x05, kNone), AccessResult::BadArgument);  // no sixth area
    EXPECT_EQ(tag.lock(0x40, kNone), AccessResult::BadArgument);  // no fifth action
}

TEST(VirtualTag, CodeThreeSecuresANewAccessPassword) {
    VirtualTag tag = sampleTag();
    ASSERT_EQ(tag.write(Bank::Reserved, 2, Bytes(kSecret.begin(), kSecret.end()), kNone),
              AccessResult::Ok);
    ASSERT_EQ(tag.lock(0x03, kSecret), AccessResult::Ok);
    EXPECT_EQ(tag.lockState(LockArea::AccessPassword), LockState::Secured);
    EXPECT_EQ(tag.lockState(LockArea::Epc), LockState::Open);
    Bytes out;
    EXPECT_EQ(tag.read(Bank::Reserved, 2, 2, kNone, out), AccessResult::Locked);
    EXPECT_EQ(tag.writeEpc(Bytes{1, 2}, kNone), AccessResult::Ok);  // the EPC stays writable
    EXPECT_EQ(tag.lock(0x13, kSecret), AccessResult::Ok);           // and the lock undone
    EXPECT_EQ(tag.lockState(LockArea::AccessPassword), LockState::Open);
}

TEST(VirtualTag, WriteEpcChangesLengthAndRecord) {
    VirtualTag tag = sampleTag();
    ASSERT_EQ(tag.writeEpc(Bytes{0xAA, 0xBB, 0xCC, 0xDD}, kNone), AccessResult::Ok);
    EXPECT_EQ(tag.epc(), (Bytes{0xAA, 0xBB, 0xCC, 0xDD}));
    tag.antenna = 3;
    tag.rssi = 0x9C;
    EXPECT_EQ(tag.recordBody(), (Bytes{1, 3, 0xAA, 0xBB, 0xCC, 0xDD, 0x9C}));
    EXPECT_EQ(tag.writeEpc(Bytes(34, 1), kNone), AccessResult::BadArgument);  // over 16 words
}

TEST(VirtualTag, TemperatureRecordCarriesLittleEndianFloatOrNoReading) {
    VirtualTag tag(Bytes{0x12, 0x34});
    tag.temperatureSensor = true;
    tag.rssi = 0x80;
    EXPECT_EQ(tag.recordBody(), (Bytes{2, 1, 0x12, 0x34, 0x80, 0xEE, 0xEE, 0xEE, 0xEE}));
    tag.temperature = 23.5f;
    EXPECT_EQ(tag.recordBody(), (Bytes{2, 1, 0x12, 0x34, 0x80, 0x00, 0x00, 0xBC, 0x41}));
}

}  // namespace
