// Helpers of the QnHidApi tests: naming simulated devices and building answer frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hidtest {

using Bytes = std::vector<uint8_t>;

// Sets QNHID_SIM for the lifetime of the object and removes it afterwards.
class SimulatedDevices {
public:
    explicit SimulatedDevices(const std::string &endpoints);
    ~SimulatedDevices();
    SimulatedDevices(const SimulatedDevices &) = delete;
    SimulatedDevices &operator=(const SimulatedDevices &) = delete;
};

// A response frame from reader address 0xFF.
Bytes responseFrame(uint8_t command, const Bytes &data, uint8_t status = 1);
// `bytes` cut into pieces of at most `size` bytes.
std::vector<Bytes> piecesOf(const Bytes &bytes, size_t size);
// The text QnHid_GetUsbInfo gives for a position ("" when it fails).
std::string usbInfo(uint16_t position, int *result = nullptr);

}  // namespace hidtest
