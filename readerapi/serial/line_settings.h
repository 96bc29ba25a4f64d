// Line settings of a serial port, kept apart because the kernel's termios2 interface (needed
// for any baud rate) cannot share a translation unit with <termios.h>.
#pragma once

#include <cstdint>

namespace qn {

// Raw mode, 8 data bits, 1 stop bit, parity code 0 none / 1 odd / 2 even / 3 mark / 4 space,
// no flow control, DTR and RTS cleared, exclusive use. False when the port refuses.
bool applyLineSettings(int fd, int32_t baudRate, uint8_t parity);

// The output speed of the line in baud, also for a non-standard rate; -1 when unreadable.
int32_t lineSpeed(int fd);

// Discards both directions' queues.
void purgeQueues(int fd);

}  // namespace qn
