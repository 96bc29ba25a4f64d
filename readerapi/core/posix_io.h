// Writing whole frames to non-blocking descriptors (serial ports, sockets).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <span>

namespace qn {

using WriteSome = ssize_t (*)(int fd, const void *bytes, size_t count);

// Writes every byte with `writeSome`, waiting in poll for room when the descriptor is full.
// False on an error, or when no room came within `roomWait`.
bool writeAll(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds roomWait,
              WriteSome writeSome);

// send(2) without SIGPIPE: a peer that closed fails the write, never the process.
ssize_t sendNoSignal(int fd, const void *bytes, size_t count);

}  // namespace qn
