#include "stdout_output.h"

#include <cstdio>

namespace gateway {

void StdoutOutput::send(TagMessage message) {
    message.json += '\n';
    const std::lock_guard lock(mutex_);
    std::fwrite(message.json.data(), 1, message.json.size(), stdout);
    std::fflush(stdout);
}

}  // namespace gateway
