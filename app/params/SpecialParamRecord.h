// The SpecialParam record as the special parameter page shows and builds it: read permission
// (password, mask), output control (relay, cache) and the output protocol, each field as the
// text or state of its control.
#pragma once

#include "kit/IReader.h"

#include <QString>

#include <cstdint>
#include <span>

namespace specialparam {

inline constexpr int passwordDigits = 8;
inline constexpr int maskStartDigits = 2;
// The record has room for twelve mask bytes.
inline constexpr int maskCapacity = 12;
inline constexpr int maskDigits = 2 * maskCapacity;
inline constexpr int relayTimeDigits = 3;

struct SpecialParamForm {
    bool passwordEnable = false;
    QString password;
    bool maskEnable = false;
    QString maskStart;
    QString maskData;
    bool relay = false;
    QString relayTime;
    bool cache = false;
    bool protocolEnable = false;
    // List positions.
    int protocol = 0;
    int condition = 0;
};

// Every field of a record; bytes past its end read as 0. A mask length beyond the record's
// twelve mask bytes shows those twelve.
SpecialParamForm showRecord(std::span<const std::uint8_t> record);
// The first `length` bytes (1..256) of a zeroed record with the form's fields.
Bytes buildRecord(const SpecialParamForm &form, int length);

} // namespace specialparam
