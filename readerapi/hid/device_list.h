// The USB-HID library's device list: real bridges first, then the simulated ones present.
#pragma once

#include <mutex>
#include <optional>

#include "hid_bus.h"

namespace qn::hid {

inline constexpr size_t kMaxListedDevices = 64;

// The text a device is listed under. A path naming the bridge in lower case
// ("vid_1a86&pid_e010") is listed in upper case; every other path as it is (hidraw nodes
// such as /dev/hidraw3 name no ids at all).
std::string listedText(const std::string &path);

struct ListedDevice {
    std::string text;  // as QnHid_GetUsbInfo shows it
    std::string path;  // as the bus opens it (Linux paths are case-sensitive)
    HidBus *bus;
};

class DeviceList {
  public:
    DeviceList(HidBus &realDevices, HidBus &simulatedDevices)
        : buses_{&realDevices, &simulatedDevices} {}

    // Lists the devices present now and returns their count.
    uint16_t refresh(const std::string &livePath);
    uint16_t count() const;
    std::optional<ListedDevice> at(uint16_t position) const;
    // The position of the device listed under this path or text.
    std::optional<uint16_t> find(const std::string &pathOrText) const;

  private:
    HidBus *buses_[2];
    mutable std::mutex mutex_;
    std::vector<ListedDevice> devices_;
};

}  // namespace qn::hid
