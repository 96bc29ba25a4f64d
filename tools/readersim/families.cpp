#include "families.h"

#include <array>
#include <cctype>
#include <charconv>

namespace readersim {

namespace {

constexpr std::array<FamilyTraits, 9> kTraits{{
    {Family::Fir, "fir", 0x50, 64, 30, true, true, true},
    {Family::Hazel, "hazel", 0xC4, 64, 30, true, true, false},
    {Family::Elm, "elm", 0xC3, 200, 26, true, true, false},
    {Family::Cedar, "cedar", 0xD0, 100, 33, true, false, false},
    {Family::Cedar2, "cedar2", 0xD1, 100, 33, true, true, false},
    {Family::Birch, "birch", 0xD2, 16, 17, false, true, false},
    {Family::Birch2, "birch2", 0xD3, 16, 17, false, true, false},
    {Family::Alder, "alder", 0xE0, 128, 17, false, false, false},
    // A reader the program does not know: everything answered, so any page can be tried.
    {Family::Unknown, "unknown", 0x99, 64, 30, true, true, true},
}};

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

Family familyOfType(uint8_t type) {
    switch (type) {
    case 0x50: case 0x60: return Family::Fir;
    case 0xC1: case 0xC2: case 0xC4: case 0xC8: case 0xCC: return Family::Hazel;
    case 0xC3: case 0xFF: return Family::Elm;
    case 0xD0: return Family::Cedar;
    case 0xD1: return Family::Cedar2;
    case 0xD2: return Family::Birch;
    case 0xD3: return Family::Birch2;
    case 0xE0: return Family::Alder;
    default: return Family::Unknown;
    }
}

const FamilyTraits &traitsOf(Family family) {
    for (const FamilyTraits &traits : kTraits)
        if (traits.family == family) return traits;
    return kTraits.back();
}

std::optional<uint8_t> parseFamilyOrType(std::string_view text) {
    const std::string lower = lowerCase(text);
    for (const FamilyTraits &traits : kTraits)
        if (lower == traits.name) return traits.defaultType;
    if (lower.size() < 3 || lower.size() > 4 || lower.compare(0, 2, "0x") != 0)
        return std::nullopt;
    unsigned value = 0;
    const char *first = lower.data() + 2;
    const char *last = lower.data() + lower.size();
    const auto [end, error] = std::from_chars(first, last, value, 16);
    if (error != std::errc{} || end != last || value > 0xFF) return std::nullopt;
    return static_cast<uint8_t>(value);
}

int antennaCount(uint8_t type) {
    switch (familyOfType(type)) {
    case Family::Fir: return (type & 0x0F) == 0 ? 4 : 8;
    case Family::Hazel:
        if (type == 0xC1) return 1;
        if (type == 0xC2) return 2;
        if (type == 0xC4) return 4;
        return 8;
    case Family::Elm: return 4;
    case Family::Unknown: return 4;
    default: return 1;
    }
}

std::string familyNames() {
    std::string names;
    for (const FamilyTraits &traits : kTraits) {
        if (!names.empty()) names += ", ";
        names += traits.name;
    }
    return names;
}

}  // namespace readersim
