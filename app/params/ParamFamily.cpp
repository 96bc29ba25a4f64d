#include "params/ParamFamily.h"

#include <array>

namespace paramfamily {

namespace {

using readerfamily::Family;

constexpr int inventoryTimeText = 1226; // x10 ms, byte 12
constexpr int triggerTimeText = 1084; // s, byte 12
constexpr int responseTimeText = 1226; // x100 ms, byte 22
constexpr int cedarInventoryTimeText = 1250; // x100 ms, byte 22
constexpr int wifi = 1;
constexpr int weigand = 4;

constexpr deviceparam::RecordLayout alderLayout{.networkTexts = true};
constexpr deviceparam::RecordLayout birchLayout{};
constexpr deviceparam::RecordLayout birch2Layout{.address = false, .keyboardOutput = true};
constexpr deviceparam::RecordLayout cedarLayout{
    .wiegand = true, .inventory = true, .targetDense = true};
constexpr deviceparam::RecordLayout elmLayout{.wiegand = true};
constexpr deviceparam::RecordLayout firLayout{.antennas = true, .inventory = true};
constexpr deviceparam::RecordLayout hazelLayout{
    .wiegand = true, .antennas = true, .inventory = true};

const std::array<ParamFamily, 8> families{{
    {Family::Alder, alderLayout, inventoryTimeText, 0, wifi, std::nullopt, false, false},
    {Family::Birch, birchLayout, inventoryTimeText, 0, std::nullopt, std::nullopt, false, false},
    {Family::Birch2, birch2Layout, inventoryTimeText, 0, std::nullopt, std::nullopt, false,
        false},
    {Family::Cedar, cedarLayout, triggerTimeText, cedarInventoryTimeText, std::nullopt, weigand,
        false, false},
    {Family::Cedar2, cedarLayout, triggerTimeText, cedarInventoryTimeText, std::nullopt, weigand,
        false, false},
    {Family::Elm, elmLayout, triggerTimeText, 0, std::nullopt, weigand, false, true},
    {Family::Fir, firLayout, triggerTimeText, responseTimeText, std::nullopt, std::nullopt, true,
        true},
    {Family::Hazel, hazelLayout, triggerTimeText, responseTimeText, std::nullopt, weigand, false,
        true},
}};

} // namespace

const ParamFamily &paramFamilyOf(Family family)
{
    for (const ParamFamily &each : families)
        if (each.family == family)
            return each;
    return paramFamilyOf(Family::Fir); // no page asks for a family without one
}

} // namespace paramfamily
