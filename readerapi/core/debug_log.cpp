#include "debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace qn {

bool debugEnabled() {
    static const bool enabled = std::getenv("QN_DEBUG") != nullptr;
    return enabled;
}

void debugLog(const char *format, ...) {
    if (!debugEnabled()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace qn
