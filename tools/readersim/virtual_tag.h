// One EPC Gen-2 tag in the virtual field: its four memory banks, passwords, lock state and
// what the reader sees of it (antenna, signal strength, optional temperature sensor).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace readersim {

using Bytes = std::vector<uint8_t>;

enum class Bank : uint8_t { Reserved = 0, Epc = 1, Tid = 2, User = 3 };

// Lock targets in the order of the Gen-2 lock payload.
enum class LockArea : uint8_t { Epc = 0, Tid = 1, User = 2, AccessPassword = 3, KillPassword = 4 };
inline constexpr int kLockAreaCount = 5;

// Gen-2 lock states: the (password, permalock) bit pair.
enum class LockState : uint8_t {
    Open = 0,
    PermanentlyOpen = 1,
    Secured = 2,
    PermanentlyLocked = 3,
};

// Why an access failed; a reader answers each with a failure status.
enum class AccessResult { Ok, OutOfBounds, WrongPassword, Locked, BadArgument };

using Password = std::array<uint8_t, 4>;

class VirtualTag {
  public:
    static constexpr int kEpcCapacityWords = 16;  // EPC memory behind the PC word
    static constexpr int kTidWords = 6;
    static constexpr int kDefaultUserWords = 32;

    VirtualTag() = default;
    // EPC of an even number of bytes (odd lengths are padded with a zero byte).
    explicit VirtualTag(std::span<const uint8_t> epc, std::span<const uint8_t> tid = {},
                        int userWords = kDefaultUserWords);

    Bytes epc() const;
    void setEpc(std::span<const uint8_t> epc);
    const Bytes &tid() const { return tid_; }
    const Bytes &user() const { return user_; }
    Password accessPassword() const;
    Password killPassword() const;
    void setAccessPassword(const Password &password);
    void setKillPassword(const Password &password);
    LockState lockState(LockArea area) const { return locks_[static_cast<int>(area)]; }
    void setLockState(LockArea area, LockState state) { locks_[static_cast<int>(area)] = state; }

    // Memory access as the reader performs it for the host, with the host's password.
    AccessResult read(Bank bank, int wordAddress, int wordCount, const Password &password,
                      Bytes &out) const;
    AccessResult write(Bank bank, int wordAddress, std::span<const uint8_t> words,
                       const Password &password);
    // The reader's EPC write: the new EPC and a PC word with its length, in one go.
    AccessResult writeEpc(std::span<const uint8_t> epc, const Password &password);
    // Lock code: the area in the low nibble (LockArea), the action in the high nibble: 0
    // secure (the area then needs the access password), 1 open, 2 open permanently, 3 lock
    // permanently. A bare area number is the everyday lock: code 3 secures the access
    // password, as the writer page means it after writing a new one.
    AccessResult lock(uint8_t lockCode, const Password &password);

    // Bank size in words.
    int bankWords(Bank bank) const;

    // Record body as the reader reports it: type, antenna, EPC, RSSI and, for a sensor tag,
    // the temperature (little-endian float, 0xEE x4 without a reading).
    Bytes recordBody() const;

    int antenna = 1;
    uint8_t rssi = 0xC8;
    bool temperatureSensor = false;
    std::optional<float> temperature;

  private:
    bool passwordMatches(const Password &password) const;
    // Whether the host, holding `password`, may do this to the area.
    AccessResult mayWrite(LockArea area, const Password &password) const;
    AccessResult mayReadPassword(LockArea area, const Password &password) const;
    void updatePcAndCrc();
    int epcWords() const;

    // EPC bank as words: CRC, PC, then kEpcCapacityWords of EPC memory.
    Bytes epcBank_ = Bytes(2 * (2 + kEpcCapacityWords), 0);
    Bytes reserved_ = Bytes(8, 0);  // kill password, access password
    Bytes tid_ = Bytes(2 * kTidWords, 0);
    Bytes user_ = Bytes(2 * kDefaultUserWords, 0);
    std::array<LockState, kLockAreaCount> locks_{LockState::Open, LockState::PermanentlyLocked,
                                                 LockState::Open, LockState::Open, LockState::Open};
};

}  // namespace readersim
