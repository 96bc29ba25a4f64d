// The USB-HID transport of QnHidApi: frames travel as CH9326 reports of up to 31 payload
// bytes; devices are opened by their position in the device list.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device_list.h"
#include "hid_bus.h"
#include "transport.h"

namespace qn::hid {

class HidTransport final : public Transport {
  public:
    HidTransport(HidBus &realDevices, HidBus &simulatedDevices);

    const TransportProfile &profile() const override;

    // Refreshes the device list and returns its count.
    uint16_t enumerate();
    // The listed text of the device at `position`, nothing when the position is not listed.
    std::optional<std::string> listedText(uint16_t position) const;
    bool isListed(uint16_t position) const { return position < list_.count(); }
    // The list position the next open() uses.
    void setTarget(uint16_t position) { requestedPosition_ = position; }
    // The device the next open() and every reopen use, found by its path (or listed text) in a
    // fresh listing: a transport of the handle library never moves to another reader.
    void setTargetPath(const std::string &path);
    // The path of the device at `position` in the last listing.
    std::optional<std::string> listedPath(uint16_t position) const;

    bool open() override;
    // Lists the devices again; the saved position falls back to 0 when fewer remain.
    bool reopen() override;
    void close() override;
    bool isOpen() const override;
    bool write(std::span<const uint8_t> frame) override;
    // Takes one input report and returns its payload; `buffer` must hold kMaxPayload bytes.
    ReadResult read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) override;
    int pollFd() const override;

    // One output report carrying 1 to kMaxPayload bytes.
    bool writeReport(std::span<const uint8_t> payload);
    // Reads the report lengths from the open device again.
    bool reloadCapabilities();

  private:
    struct OpenDevice {
        std::shared_ptr<HidDevice> device;
        ReportLengths lengths;
    };

    bool openPosition(uint16_t position);
    bool openTargetPath(const std::string &path);
    void setDevicePath(const std::string &path);
    OpenDevice current() const;
    bool sendReport(const OpenDevice &open, std::span<const uint8_t> payload);

    DeviceList list_;
    std::atomic<uint16_t> requestedPosition_{0};
    std::atomic<uint16_t> savedPosition_{0};
    std::string targetPath_;  // under deviceMutex_; empty: open by position

    // The device is shared with calls in flight, so closing never pulls it from under a
    // read or write on another thread.
    mutable std::mutex deviceMutex_;
    std::shared_ptr<HidDevice> device_;
    ReportLengths lengths_;
    std::string devicePath_;  // also while connecting

    std::mutex writeMutex_;  // the reports of one frame stay together
    std::mutex readMutex_;   // one input report read at a time
};

}  // namespace qn::hid
