// Texts a reader answers with in fixed byte fields (GPS position, GPRS signal and cell
// location): 8-bit characters (UTF-8 here), ended by a zero or by the field. Reading never
// looks past the field.
#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace recordtext {

// The bytes up to the first zero, or all of them when there is none; invalid sequences show
// as replacement characters.
QString fromField(std::span<const std::uint8_t> field);

} // namespace recordtext
