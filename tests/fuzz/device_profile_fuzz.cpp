// Arbitrary bytes as a device profile: decoding never crashes, and what it accepts is whole
// (three records of the profile's length, each the bytes its text spells) and keeps the
// target reader's MAC address when written.
#include <algorithm>
#include <cassert>

#include "kit/CIniFile.h"
#include "shell/CDeviceProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const deviceprofile::Decoded decoded = deviceprofile::decode(CIniDocument::fromBytes(bytes));
    if (decoded.refusal == deviceprofile::Refusal::None) {
        assert(decoded.records.device.size() == size_t(deviceprofile::recordLength));
        assert(decoded.records.network.size() == size_t(deviceprofile::recordLength));
        assert(decoded.records.special.size() == size_t(deviceprofile::recordLength));
        // The target's MAC address replaces the profile's; nothing else changes.
        const Bytes written =
            deviceprofile::withOwnMac(decoded.records.network, decoded.records.device);
        assert(std::equal(written.begin(), written.begin() + 6, decoded.records.device.begin()));
        assert(std::equal(written.begin() + 6, written.end(), decoded.records.network.begin() + 6));
    } else {
        assert(decoded.records.device.empty());
        assert(decoded.records.network.empty() && decoded.records.special.empty());
    }
    return 0;
}
