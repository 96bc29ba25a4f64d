#include "params/ParamFamily.h"

#include <array>

namespace paramfamily {

namespace {

using readerfamily::Family;

constexpr int wifi = 1;
constexpr int weigand = 4;

const std::array<ParamFamily, 8> families { {
    { Family::Alder, wifi, std::nullopt, false, false },
    { Family::Birch, std::nullopt, std::nullopt, false, false },
    { Family::Birch2, std::nullopt, std::nullopt, false, false },
    { Family::Cedar, std::nullopt, weigand, false, false },
    { Family::Cedar2, std::nullopt, weigand, false, false },
    { Family::Elm, std::nullopt, weigand, false, true },
    { Family::Fir, std::nullopt, std::nullopt, true, true },
    { Family::Hazel, std::nullopt, weigand, false, true },
} };

} // namespace

const ParamFamily &paramFamilyOf(Family family)
{
    for (const ParamFamily &each : families)
        if (each.family == family)
            return each;
    return paramFamilyOf(Family::Fir); // no page asks for a family without one
}

} // namespace paramfamily
