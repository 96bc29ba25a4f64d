#include "answer_shaper.h"

#include <algorithm>
#include <span>

#include "frame.h"

namespace readersim {

namespace {

// The answer arrives but says something else than the model meant.
void corrupt(Bytes &frame, const Faults &faults) {
    if (frame.size() < qn::kResponseDataOffset + 1) return;
    if (faults.failureStatus) frame[qn::kResponseStatusOffset] = 0;
    if (faults.wrongEcho) ++frame[qn::kResponseCommandOffset];
    if (faults.wrongAddress) frame[qn::kResponseAddressOffset] = *faults.wrongAddress;
    uint8_t &check = frame.back();
    check = qn::checksum(std::span(frame).first(frame.size() - 1));
    if (faults.badChecksum) check = static_cast<uint8_t>(check ^ 0x5A);
}

}  // namespace

std::vector<Bytes> AnswerShaper::shape(Bytes answer, bool fromModel, const Faults &faults,
                                       Bytes &held) {
    ++answers_;
    if (faults.dropEveryNth > 0 && answers_ % static_cast<uint64_t>(faults.dropEveryNth) == 0)
        return {};
    if (fromModel) corrupt(answer, faults);
    if (faults.mergeFrames && held.empty()) {
        held = std::move(answer);
        return {};
    }
    Bytes wire = std::move(held);
    held.clear();
    wire.insert(wire.end(), answer.begin(), answer.end());
    if (faults.splitChunk <= 0 || wire.empty()) return {std::move(wire)};
    std::vector<Bytes> pieces;
    const size_t chunk = static_cast<size_t>(faults.splitChunk);
    for (size_t offset = 0; offset < wire.size(); offset += chunk) {
        const auto first = wire.begin() + static_cast<std::ptrdiff_t>(offset);
        pieces.emplace_back(
            first, first + static_cast<std::ptrdiff_t>(std::min(chunk, wire.size() - offset)));
    }
    return pieces;
}

}  // namespace readersim
