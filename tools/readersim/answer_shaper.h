// Turns one answer into the writes that reach the wire under the injected faults: dropped,
// corrupted, held back for merging, or cut into pieces.
#pragma once

#include <cstdint>
#include <vector>

#include "virtual_reader.h"

namespace readersim {

class AnswerShaper {
  public:
    // The writes to perform in order (none: nothing is sent now). Content faults change only
    // answers of the model; `held` is the link's answer kept back by the merge fault.
    std::vector<Bytes> shape(Bytes answer, bool fromModel, const Faults &faults, Bytes &held);
    // Counting for "every Nth" starts again.
    void resetCount() { answers_ = 0; }

  private:
    uint64_t answers_ = 0;
};

}  // namespace readersim
