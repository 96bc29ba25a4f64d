#include "device_list.h"

#include <algorithm>
#include <cctype>

namespace qn::hid {

std::string listedText(const std::string &path) {
    if (path.find("VID_1A86&PID_E010") != std::string::npos) return path;
    if (path.find("vid_1a86&pid_e010") == std::string::npos) return path;
    std::string upper = path;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

uint16_t DeviceList::refresh(const std::string &livePath) {
    std::vector<ListedDevice> found;
    for (HidBus *bus : buses_) {
        for (std::string &path : bus->enumerate(kMaxListedDevices - found.size(), livePath)) {
            found.push_back({listedText(path), std::move(path), bus});
        }
    }
    std::lock_guard lock(mutex_);
    devices_ = std::move(found);
    return static_cast<uint16_t>(devices_.size());
}

uint16_t DeviceList::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<uint16_t>(devices_.size());
}

std::optional<ListedDevice> DeviceList::at(uint16_t position) const {
    std::lock_guard lock(mutex_);
    if (position >= devices_.size()) return std::nullopt;
    return devices_[position];
}

std::optional<uint16_t> DeviceList::find(const std::string &pathOrText) const {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].path == pathOrText || devices_[i].text == pathOrText) {
            return static_cast<uint16_t>(i);
        }
    }
    return std::nullopt;
}

}  // namespace qn::hid
