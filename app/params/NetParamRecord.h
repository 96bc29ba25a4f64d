// The NetParam record as the two network pages show and build it: every field as the text or
// state of its control, so the byte rules (MAC digits, addresses, little-endian ports, texts
// bounded by their fields) can be checked without a window.
#pragma once

#include "kit/IReader.h"

#include <QString>

#include <cstdint>
#include <span>

namespace netparam {

// A text field: where it starts and how many characters it holds (one more byte keeps the
// terminating zero).
struct TextField {
    int offset;
    int width;
};

inline constexpr TextField domainField{29, 31};
inline constexpr TextField ssidField{61, 31};
inline constexpr TextField wifiPasswordField{93, 31};
inline constexpr TextField apnField{128, 24};
inline constexpr TextField apnUserField{153, 19};
inline constexpr TextField apnPasswordField{173, 19};

inline constexpr int macDigits = 12;
inline constexpr int portDigits = 5;
inline constexpr int byteDigits = 3;

// What the controls show. The GPS and GPRS fields belong to the Fir network page; the plain
// page leaves them out of the record it writes.
struct NetParamForm {
    QString mac;
    QString ipAddress;
    QString subnetMask;
    QString gateway;
    QString remoteIp;
    QString localPort;
    QString remotePort;
    bool dhcp = false;
    bool dns = false;
    QString heartbeat;
    QString domain;
    QString ssid;
    QString wifiPassword;
    bool gps = false;
    QString gpsInterval;
    bool autoApn = false;
    QString apn;
    QString apnUser;
    QString apnPassword;
};

// Every field of a record; bytes past its end read as 0.
NetParamForm showRecord(std::span<const std::uint8_t> record);
// The first `length` bytes (1..256) of a zeroed record with the form's fields; the GPS and
// GPRS fields only when `gprsFields`.
Bytes buildRecord(const NetParamForm &form, bool gprsFields, int length);

// "a.b.c.d" of four bytes, first byte first; and back (missing or empty numbers give 0, each
// number its low 8 bits).
QString addressText(std::span<const std::uint8_t, 4> bytes);
std::array<std::uint8_t, 4> addressBytes(const QString &text);

} // namespace netparam
