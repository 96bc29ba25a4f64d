// A field that behaves like a real one for people to watch: about twenty tags on several
// antennas, their signal strength drifting, a few visitors coming and going, and on readers
// of the temperature families some sensor tags whose readings drift (now and then without
// a reading).
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "virtual_tag.h"

namespace readersim {

class ReaderModel;

class LivelyField {
  public:
    static constexpr int kResidentTags = 18;
    static constexpr int kVisitorTags = 6;
    static constexpr std::chrono::milliseconds kStepPeriod{200};

    explicit LivelyField(uint32_t seed = 1);

    // Replaces the model's tags with the field's residents; the visitors wait outside.
    void populate(ReaderModel &model);
    // Moves the field on to `now`, one step per kStepPeriod at most.
    void step(ReaderModel &model, std::chrono::steady_clock::time_point now);

  private:
    void drift(VirtualTag &tag);
    void comeOrGo(ReaderModel &model);
    bool isVisitor(const VirtualTag &tag) const;

    std::mt19937 random_;
    std::chrono::steady_clock::time_point lastStep_{};
    std::vector<Bytes> visitorEpcs_;
    std::vector<VirtualTag> away_;
};

}  // namespace readersim
