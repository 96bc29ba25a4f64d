// Helpers of the QnHidApi tests: naming simulated devices and building answer frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader_frames.h"

namespace hidtest {

using Bytes = std::vector<uint8_t>;
using testsupport::responseFrame;

// Sets QNHID_SIM for the lifetime of the object and removes it afterwards.
class SimulatedDevices {
  public:
    explicit SimulatedDevices(const std::string &endpoints);
    ~SimulatedDevices();
    SimulatedDevices(const SimulatedDevices &) = delete;
    SimulatedDevices &operator=(const SimulatedDevices &) = delete;
};

// `bytes` cut into pieces of at most `size` bytes.
std::vector<Bytes> piecesOf(const Bytes &bytes, size_t size);
// The text QnHid_GetUsbInfo gives for a position ("" when it fails).
std::string usbInfo(uint16_t position, int *result = nullptr);

}  // namespace hidtest
