#include "reader_frames.h"

#include <memory>

#include "frame.h"
#include "virtual_reader.h"

namespace testsupport {

Bytes responseFrame(uint8_t command, const Bytes &data, uint8_t status) {
    Bytes frame(data.size() + 8);
    frame.resize(qn::buildResponse(0xFF, command, status, data, frame));
    return frame;
}

Bytes reportFrame(const Bytes &serial7, const std::vector<Bytes> &records) {
    Bytes data = serial7;
    data.push_back(static_cast<uint8_t>(records.size()));
    for (const Bytes &record : records) data.insert(data.end(), record.begin(), record.end());
    return responseFrame(0x45, data);
}

Bytes requestData(const Bytes &frame) {
    if (frame.size() < 7) return {};
    return Bytes(frame.begin() + 6, frame.end() - 1);
}

std::optional<Bytes> lastRequest(const readersim::VirtualReader &reader, uint8_t command) {
    const std::vector<Bytes> requests = reader.requests();
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        if (it->size() >= 7 && (*it)[5] == command) return *it;
    }
    return std::nullopt;
}

void answerOnce(readersim::VirtualReader &reader, uint8_t command, const Bytes &data,
                uint8_t status) {
    // Runs on the reader's thread only, so the flag needs no lock.
    auto used = std::make_shared<bool>(false);
    reader.setAnswerOverride([=](const Bytes &request) -> std::optional<Bytes> {
        if (*used || request.size() < 7 || request[5] != command) return std::nullopt;
        *used = true;
        return responseFrame(command, data, status);
    });
}

}  // namespace testsupport
