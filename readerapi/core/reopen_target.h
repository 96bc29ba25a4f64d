// The device a transport opens next and the one it reopens after a lost link. A target
// becomes the reopen target only once it opened, so a failed open never redirects the
// monitor's reconnection away from the reader that worked.
#pragma once

#include <mutex>
#include <optional>

namespace qn {

template <typename Target>
class ReopenTarget {
  public:
    void request(const Target &target) {
        std::lock_guard lock(mutex_);
        requested_ = target;
    }

    // Opens the requested target with `openFn(const Target &)`; remembers it on success.
    template <typename OpenFn>
    bool openRequested(OpenFn &&openFn) {
        const std::optional<Target> target = get(requested_);
        if (!target || !openFn(*target)) return false;
        std::lock_guard lock(mutex_);
        saved_ = target;
        return true;
    }

    template <typename OpenFn>
    bool openSaved(OpenFn &&openFn) {
        const std::optional<Target> target = get(saved_);
        return target && openFn(*target);
    }

  private:
    std::optional<Target> get(const std::optional<Target> &which) const {
        std::lock_guard lock(mutex_);
        return which;
    }

    mutable std::mutex mutex_;
    std::optional<Target> requested_;
    std::optional<Target> saved_;
};

}  // namespace qn
