#include "virtual_tag.h"

#include <algorithm>
#include <cstring>

namespace readersim {

namespace {

constexpr uint8_t kNoTemperatureByte = 0xEE;
constexpr int kPcWordIndex = 1;
constexpr int kEpcFirstWord = 2;

// The Gen-2 StoredCRC: CRC-16/GENISYS over the PC word and the EPC.
uint16_t gen2Crc(std::span<const uint8_t> bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc = static_cast<uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

bool isZero(const Password &password) {
    return std::all_of(password.begin(), password.end(), [](uint8_t b) { return b == 0; });
}

// The lock code's high nibble: the plain area number secures the area.
constexpr std::array<LockState, 4> kLockActions{
    LockState::Secured, LockState::Open, LockState::PermanentlyOpen, LockState::PermanentlyLocked};

bool isPermanent(LockState state) {
    return state == LockState::PermanentlyOpen || state == LockState::PermanentlyLocked;
}

}  // namespace

VirtualTag::VirtualTag(std::span<const uint8_t> epc, std::span<const uint8_t> tid, int userWords)
    : user_(2 * static_cast<size_t>(std::clamp(userWords, 0, 255)), 0) {
    setEpc(epc);
    std::copy_n(tid.begin(), std::min(tid.size(), tid_.size()), tid_.begin());
}

int VirtualTag::epcWords() const {
    const int pcWords = epcBank_[2 * kPcWordIndex] >> 3;
    return std::min(pcWords, kEpcCapacityWords);
}

Bytes VirtualTag::epc() const {
    const auto first = epcBank_.begin() + 2 * kEpcFirstWord;
    return Bytes(first, first + 2 * epcWords());
}

void VirtualTag::setEpc(std::span<const uint8_t> epc) {
    const size_t bytes = std::min(epc.size(), static_cast<size_t>(2 * kEpcCapacityWords));
    std::fill(epcBank_.begin() + 2 * kEpcFirstWord, epcBank_.end(), 0);
    std::copy_n(epc.begin(), bytes, epcBank_.begin() + 2 * kEpcFirstWord);
    const int words = static_cast<int>((bytes + 1) / 2);
    epcBank_[2 * kPcWordIndex] = static_cast<uint8_t>(words << 3);
    epcBank_[2 * kPcWordIndex + 1] = 0;
    updatePcAndCrc();
}

void VirtualTag::updatePcAndCrc() {
    const size_t covered = 2 + 2 * static_cast<size_t>(epcWords());
    const uint16_t crc = gen2Crc(std::span(epcBank_).subspan(2 * kPcWordIndex, covered));
    epcBank_[0] = static_cast<uint8_t>(crc >> 8);
    epcBank_[1] = static_cast<uint8_t>(crc);
}

Password VirtualTag::accessPassword() const {
    return {reserved_[4], reserved_[5], reserved_[6], reserved_[7]};
}

Password VirtualTag::killPassword() const {
    return {reserved_[0], reserved_[1], reserved_[2], reserved_[3]};
}

void VirtualTag::setAccessPassword(const Password &password) {
    std::copy(password.begin(), password.end(), reserved_.begin() + 4);
}

void VirtualTag::setKillPassword(const Password &password) {
    std::copy(password.begin(), password.end(), reserved_.begin());
}

int VirtualTag::bankWords(Bank bank) const {
    switch (bank) {
        case Bank::Reserved:
            return static_cast<int>(reserved_.size() / 2);
        case Bank::Epc:
            return static_cast<int>(epcBank_.size() / 2);
        case Bank::Tid:
            return static_cast<int>(tid_.size() / 2);
        case Bank::User:
            return static_cast<int>(user_.size() / 2);
    }
    return 0;
}

bool VirtualTag::passwordMatches(const Password &password) const {
    return password == accessPassword();
}

// A tag without an access password enters the secured state without one; with a
// password, only the matching one secures it.
AccessResult VirtualTag::mayWrite(LockArea area, const Password &password) const {
    switch (lockState(area)) {
        case LockState::Open:
        case LockState::PermanentlyOpen:
            return AccessResult::Ok;
        case LockState::Secured:
            return isZero(accessPassword()) || passwordMatches(password) ? AccessResult::Ok
                                                                         : AccessResult::Locked;
        case LockState::PermanentlyLocked:
            return AccessResult::Locked;
    }
    return AccessResult::Locked;
}

// Password areas are read-protected by the same states that write-protect them.
AccessResult VirtualTag::mayReadPassword(LockArea area, const Password &password) const {
    return mayWrite(area, password);
}

AccessResult VirtualTag::read(Bank bank, int wordAddress, int wordCount, const Password &password,
                              Bytes &out) const {
    if (wordCount <= 0 || wordAddress < 0) return AccessResult::BadArgument;
    if (wordAddress + wordCount > bankWords(bank)) return AccessResult::OutOfBounds;
    if (!isZero(password) && !passwordMatches(password)) return AccessResult::WrongPassword;
    if (bank == Bank::Reserved) {
        const int last = wordAddress + wordCount - 1;
        if (wordAddress <= 1) {
            if (auto r = mayReadPassword(LockArea::KillPassword, password); r != AccessResult::Ok)
                return r;
        }
        if (last >= 2) {
            if (auto r = mayReadPassword(LockArea::AccessPassword, password); r != AccessResult::Ok)
                return r;
        }
    }
    const Bytes &memory = bank == Bank::Reserved ? reserved_
                          : bank == Bank::Epc    ? epcBank_
                          : bank == Bank::Tid    ? tid_
                                                 : user_;
    const auto first = memory.begin() + 2 * wordAddress;
    out.assign(first, first + 2 * wordCount);
    return AccessResult::Ok;
}

AccessResult VirtualTag::write(Bank bank, int wordAddress, std::span<const uint8_t> words,
                               const Password &password) {
    const int wordCount = static_cast<int>(words.size() / 2);
    if (wordCount <= 0 || words.size() % 2 != 0 || wordAddress < 0)
        return AccessResult::BadArgument;
    if (wordAddress + wordCount > bankWords(bank)) return AccessResult::OutOfBounds;
    if (!isZero(password) && !passwordMatches(password)) return AccessResult::WrongPassword;
    AccessResult allowed = AccessResult::Ok;
    Bytes *memory = nullptr;
    switch (bank) {
        case Bank::Reserved: {
            const int last = wordAddress + wordCount - 1;
            if (wordAddress <= 1) allowed = mayWrite(LockArea::KillPassword, password);
            if (allowed == AccessResult::Ok && last >= 2)
                allowed = mayWrite(LockArea::AccessPassword, password);
            memory = &reserved_;
            break;
        }
        case Bank::Epc:
            // The stored CRC is computed by the tag, never written.
            if (wordAddress == 0) return AccessResult::BadArgument;
            allowed = mayWrite(LockArea::Epc, password);
            memory = &epcBank_;
            break;
        case Bank::Tid:
            allowed = mayWrite(LockArea::Tid, password);
            memory = &tid_;
            break;
        case Bank::User:
            allowed = mayWrite(LockArea::User, password);
            memory = &user_;
            break;
    }
    if (allowed != AccessResult::Ok) return allowed;
    std::copy(words.begin(), words.end(), memory->begin() + 2 * wordAddress);
    if (bank == Bank::Epc) updatePcAndCrc();
    return AccessResult::Ok;
}

AccessResult VirtualTag::writeEpc(std::span<const uint8_t> epc, const Password &password) {
    if (epc.empty() || epc.size() % 2 != 0 || epc.size() > 2 * kEpcCapacityWords)
        return AccessResult::BadArgument;
    if (!isZero(password) && !passwordMatches(password)) return AccessResult::WrongPassword;
    if (const AccessResult allowed = mayWrite(LockArea::Epc, password); allowed != AccessResult::Ok)
        return allowed;
    setEpc(epc);
    return AccessResult::Ok;
}

AccessResult VirtualTag::lock(uint8_t lockCode, const Password &password) {
    const int area = lockCode & 0x0F;
    const int action = lockCode >> 4;
    if (area >= kLockAreaCount || action >= static_cast<int>(kLockActions.size()))
        return AccessResult::BadArgument;
    if (!isZero(password) && !passwordMatches(password)) return AccessResult::WrongPassword;
    // Locking needs the secured state.
    if (!isZero(accessPassword()) && !passwordMatches(password)) return AccessResult::WrongPassword;
    const LockState current = locks_[area];
    const LockState wanted = kLockActions[static_cast<size_t>(action)];
    if (isPermanent(current) && current != wanted) return AccessResult::Locked;
    locks_[area] = wanted;
    return AccessResult::Ok;
}

Bytes VirtualTag::recordBody() const {
    const Bytes epcBytes = epc();
    Bytes body;
    body.reserve(epcBytes.size() + 7);
    body.push_back(temperatureSensor ? 2 : 1);
    body.push_back(static_cast<uint8_t>(antenna));
    body.insert(body.end(), epcBytes.begin(), epcBytes.end());
    body.push_back(rssi);
    if (temperatureSensor) {
        uint8_t bytes[4] = {kNoTemperatureByte, kNoTemperatureByte, kNoTemperatureByte,
                            kNoTemperatureByte};
        if (temperature) {
            // Little-endian IEEE-754 single, as the sensor tags report it.
            uint32_t bits = 0;
            std::memcpy(&bits, &*temperature, sizeof bits);
            for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
        }
        body.insert(body.end(), bytes, bytes + 4);
    }
    return body;
}

}  // namespace readersim
