// Helpers for the virtual reader's tests: request frames, a raw client for the TCP stream
// and the HID tunnel that hands back whole response frames, and condition waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "frame.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

inline constexpr std::chrono::milliseconds kDeadline = 5s;

Bytes requestFrame(uint8_t command, const Bytes &data = {}, uint8_t address = 0xFF);

// Response frame fields.
uint8_t statusOf(const Bytes &frame);
uint8_t commandOf(const Bytes &frame);
Bytes dataOf(const Bytes &frame);

// Polls `condition` every few milliseconds until it holds or the deadline passes.
bool eventually(const std::function<bool()> &condition,
                std::chrono::milliseconds deadline = kDeadline);

enum class Wire { Stream, HidReports };

// A client of the TCP stream or the HID tunnel. Frames are cut by the host parser of the
// reader libraries, so a frame accepted here is one a library would accept.
class FrameClient {
  public:
    explicit FrameClient(Wire wire = Wire::Stream) : wire_(wire) {}
    ~FrameClient();
    FrameClient(const FrameClient &) = delete;
    FrameClient &operator=(const FrameClient &) = delete;

    bool connect(uint16_t port);
    void close();
    // Sends bytes as they are (stream) or as output reports (HID tunnel).
    bool send(const Bytes &bytes);
    // Sends bytes as they are, whatever the wire.
    bool sendWire(const Bytes &bytes);
    std::optional<Bytes> nextFrame(std::chrono::milliseconds deadline = kDeadline);
    // Request + answer in one.
    std::optional<Bytes> ask(uint8_t command, const Bytes &data = {});
    // Raw bytes read so far that were not handed out (stream wire only), after waiting up
    // to `deadline` for at least `count` of them.
    Bytes readRaw(size_t count, std::chrono::milliseconds deadline = kDeadline);
    // True once the reader closed the connection.
    bool waitForClose(std::chrono::milliseconds deadline = kDeadline);
    // How many separate reads delivered bytes (to see split answers).
    int reads() const { return reads_; }
    // Every input report received (HID tunnel), whole.
    const std::vector<Bytes> &inputReports() const { return reports_; }

  private:
    // Reads once, waiting at most `wait`; false when the connection ended.
    bool pump(std::chrono::milliseconds wait);

    Wire wire_;
    int fd_ = -1;
    Bytes pending_;   // stream payload not yet parsed
    Bytes hidBytes_;  // partial input report
    std::vector<Bytes> reports_;
    int reads_ = 0;
    bool closed_ = false;
    qn::ReceiveParser parser_;
};

}  // namespace simtest
