#include "backoff.h"

#include <algorithm>

namespace tools {

std::chrono::milliseconds Backoff::next() {
    const auto wait = next_;
    next_ = std::min(next_ * 2, longest_);
    return wait;
}

}  // namespace tools
