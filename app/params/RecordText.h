// Texts the reader keeps in fixed byte fields: 8-bit characters (UTF-8 here), ended by a zero
// or by the field. Reading never looks past the field; writing never overruns it and never
// splits a character.
#pragma once

#include <QString>

#include <cstdint>
#include <span>

namespace recordtext {

// The bytes up to the first zero, or all of them when there is none; invalid sequences show
// as replacement characters.
QString fromField(std::span<const std::uint8_t> field);
// The text's UTF-8 form copied into the field: at most field.size() - 1 bytes, cut before a
// character that does not fit whole, the rest of the field zero.
void toField(const QString &text, std::span<std::uint8_t> field);

} // namespace recordtext
