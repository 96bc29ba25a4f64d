// How the serial library turns a port name into a device path.
#pragma once

#include <string>

namespace qn {

// Drops one trailing character that is not a digit ("COM3:" -> "COM3").
std::string dropTrailingNonDigit(std::string name);

// After the trailing-character rule: a name containing '/' is a path used as it is; "COMn"
// (n >= 1) is /dev/ttyS(n-1); any other name lies under /dev/. Empty names give "".
std::string devicePathForPortName(const std::string &name);

}  // namespace qn
