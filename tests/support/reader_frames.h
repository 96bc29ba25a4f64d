// Frames and requests as the reader library tests need them against the virtual reader.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace readersim {
class VirtualReader;
}

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// A response frame from reader address 0xFF.
Bytes responseFrame(uint8_t command, const Bytes &data, uint8_t status = 1);
// An active-mode report frame as a reader pushes it.
Bytes reportFrame(const Bytes &serial7, const std::vector<Bytes> &records);
// Data bytes of a request frame (between command and checksum).
Bytes requestData(const Bytes &frame);
// The last request frame the reader received with this command code.
std::optional<Bytes> lastRequest(const readersim::VirtualReader &reader, uint8_t command);
// Makes the reader answer the next request of `command` with exactly these data bytes.
void answerOnce(readersim::VirtualReader &reader, uint8_t command, const Bytes &data,
                uint8_t status = 1);

}  // namespace testsupport
