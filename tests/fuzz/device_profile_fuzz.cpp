// Arbitrary bytes as a device profile: decoding never crashes, and what it accepts is whole
// (each record held of the profile's length, each the bytes its text spells) and keeps the
// target reader's MAC address when written.
#include <algorithm>
#include <cassert>
#include <string_view>

#include "profile/device_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const deviceprofile::Decoded decoded = deviceprofile::decode(CIniDocument::fromBytes(bytes));
    const deviceprofile::Records &records = decoded.records;
    if (decoded.refusal != deviceprofile::Refusal::None) {
        assert(records.device.empty() && records.network.empty() && records.special.empty());
        return 0;
    }
    for (const deviceprofile::Record record : deviceprofile::everyRecord) {
        assert(!records.holds(record) ||
               records[record].size() == size_t(deviceprofile::recordLength));
    }
    if (records.holds(deviceprofile::Record::Network) &&
        records.holds(deviceprofile::Record::Device)) {
        // The target's MAC address replaces the profile's; nothing else changes.
        const deviceprofile::Bytes written =
            deviceprofile::withOwnMac(records.network, records.device);
        assert(std::equal(written.begin(), written.begin() + 6, records.device.begin()));
        assert(std::equal(written.begin() + 6, written.end(), records.network.begin() + 6));
    }
    return 0;
}
