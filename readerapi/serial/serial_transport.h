// The serial port transport of QnComApi: a tty in raw mode, read with 1 ms waits.
#pragma once

#include <atomic>
#include <string>

#include "reopen_target.h"
#include "transport.h"

namespace qn {

class SerialTransport final : public Transport {
  public:
    const TransportProfile &profile() const override;

    // The device the next open() uses; it becomes the reopen target once opened.
    void setTarget(const std::string &devicePath, int32_t baudRate);
    uint8_t setParity(uint8_t parity);

    bool open() override;
    bool reopen() override;
    void close() override;
    bool isOpen() const override { return fd_.load() >= 0; }
    bool write(std::span<const uint8_t> frame) override;
    ReadResult read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) override;
    int pollFd() const override { return fd_.load(); }

  private:
    struct Port {
        std::string path;
        int32_t baudRate;
    };
    bool openPort(const Port &port);

    ReopenTarget<Port> target_;
    std::atomic<uint8_t> parity_{0};
    std::atomic<int> fd_{-1};
};

}  // namespace qn
