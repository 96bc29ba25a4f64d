// One open reader for the length of a command: the address checked before anything is sent,
// the handle, the reader's identity asked at open, and the frame trace of --verbose.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "QnReader.h"

namespace cli {

struct GlobalOptions {
    std::string address;  // --reader, or TAGBENCH_READER
    bool json = false;
    bool verbose = false;
    int waitScale = 100;  // --wait-scale: per cent of the library's answer waits
};

// What GetDeviceSystemInfo says: firmware, hardware, 7-byte serial number, one more byte.
struct Identity {
    std::array<std::uint8_t, 10> info{};

    std::string serialText() const;  // 14 upper-case hex digits
    std::uint8_t type() const { return info[2]; }
    std::string family() const;
    std::string firmware() const;  // "2.3"
    std::string hardware() const;
};

// The reader address, refused as a usage error when missing or malformed.
std::string checkedAddress(const GlobalOptions &options);

class Session {
  public:
    // Opens the reader and asks who it is; failing either is kCannotOpen.
    explicit Session(const GlobalOptions &options);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    QnReader *reader() const { return reader_; }
    const Identity &identity() const { return identity_; }
    bool json() const { return json_; }
    // Closes the handle now: no callback of it runs after this returns.
    void close();

  private:
    QnReader *reader_ = nullptr;
    Identity identity_;
    bool json_ = false;
};

// Every reader command takes the reader address; the handle's transports ignore it.
inline constexpr std::uint8_t kAnyAddress = 0xFF;

}  // namespace cli
