// Reader families: which type bytes belong to which family, and what a reader of each
// family keeps (record sizes, antenna count, optional features).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace readersim {

enum class Family { Fir, Hazel, Elm, Cedar, Cedar2, Birch, Birch2, Alder, Unknown };

struct FamilyTraits {
    Family family;
    const char *name;
    uint8_t defaultType;       // type byte used when the family is chosen by name
    int deviceRecordSize;      // bytes of the device record a read returns
    int maxPowerDbm;           // top of the RF power list
    bool hasNetwork;           // answers the network and special record commands
    bool hasRelay;
    bool hasGprs;              // SIM, signal, cell location and GPS texts
};

// Family of a type byte; bytes outside every family give Family::Unknown.
Family familyOfType(uint8_t type);
const FamilyTraits &traitsOf(Family family);

// Accepts a family name (case-insensitive) or a type byte written "0x..". Returns the type
// byte, or nothing for text that is neither.
std::optional<uint8_t> parseFamilyOrType(std::string_view text);

// Antennas a reader of this type drives: the four-port Fir models end in a zero nibble,
// the other Fir models have eight ports; Hazel models encode the count in the type.
int antennaCount(uint8_t type);

std::string familyNames();  // "fir, hazel, ..." for help texts

}  // namespace readersim
