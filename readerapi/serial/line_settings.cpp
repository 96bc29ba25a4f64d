#include "line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace qn {

namespace {

struct StandardRate {
    int32_t rate;
    tcflag_t code;
};

// Rates with a speed code of their own: programs that read the line with the standard
// calls (stty, cfgetospeed) see these, while BOTHER would show them no known speed.
constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

tcflag_t speedCode(int32_t baudRate) {
    for (const StandardRate &standard : kStandardRates) {
        if (standard.rate == baudRate) return standard.code;
    }
    return BOTHER;
}

bool setParityFlags(struct termios2 &tio, uint8_t parity) {
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
        case 0:
            return true;
        case 1:
            tio.c_cflag |= PARENB | PARODD;
            return true;
        case 2:
            tio.c_cflag |= PARENB;
            return true;
        case 3:
            tio.c_cflag |= PARENB | PARODD | CMSPAR;
            return true;
        case 4:
            tio.c_cflag |= PARENB | CMSPAR;
            return true;
        default:
            return false;
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
    // No separate input speed (CIBAUD 0): input follows the output speed.
    tio.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS | HUPCL | CBAUD | CIBAUD);
    tio.c_cflag |= CS8 | CREAD | CLOCAL | speedCode(baudRate);
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

int32_t lineSpeed(int fd) {
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
    return static_cast<int32_t>(tio.c_ospeed);
}

void purgeQueues(int fd) {
    ioctl(fd, TCFLSH, TCIOFLUSH);
}

}  // namespace qn
