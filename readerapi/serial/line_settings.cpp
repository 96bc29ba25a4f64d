#include "line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace qn {

namespace {

bool setParityFlags(struct termios2 &tio, uint8_t parity) {
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
        case 0: return true;
        case 1: tio.c_cflag |= PARENB | PARODD; return true;
        case 2: tio.c_cflag |= PARENB; return true;
        case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; return true;
        case 4: tio.c_cflag |= PARENB | CMSPAR; return true;
        default: return false;
    }
}

}  // namespace

bool applyLineSettings(int fd, int32_t baudRate, uint8_t parity) {
    if (baudRate <= 0) return false;
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    // Raw, byte-transparent: no input or output processing, no parity checking,
    // no XON/XOFF, no echo, no signals.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK | IGNPAR);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | HUPCL | CBAUD);
    tio.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER;
    if (!setParityFlags(tio, parity)) return false;
    tio.c_ispeed = static_cast<speed_t>(baudRate);
    tio.c_ospeed = static_cast<speed_t>(baudRate);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    if (ioctl(fd, TCSETS2, &tio) != 0) return false;
    if (ioctl(fd, TIOCEXCL) != 0) return false;
    // Pseudo-terminals have no modem lines; a port that has them gets DTR and RTS cleared.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &lines);
    return true;
}

void purgeQueues(int fd) { ioctl(fd, TCFLSH, TCIOFLUSH); }

}  // namespace qn
