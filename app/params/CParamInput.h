#pragma once

#include <QStringView>

class QLineEdit;

// The input limits of the parameter pages' edits: the page refuses what does not fit the
// record field instead of cutting it later.
namespace CParamInput {

// At most `digits` hex digits.
void limitHex(QLineEdit *edit, int digits = 2);
// At most `digits` decimal digits.
void limitDecimal(QLineEdit *edit, int digits);
// A dotted IPv4 address: four numbers 0..255.
void limitIpAddress(QLineEdit *edit);
// Text whose UTF-8 form has at most `bytes` bytes.
void limitText(QLineEdit *edit, int bytes);

// The leading decimal integer of a text (leading spaces skipped; 0 when it starts with no
// digit), as its low 16 bits.
int leadingDecimal(QStringView text);

} // namespace CParamInput
