#pragma once

#include <QStringView>

class QLineEdit;

// The input limits of the parameter pages' edits: the page refuses what does not fit the
// record field instead of cutting it later.
namespace CParamInput {

// At most two hex digits.
void limitHex(QLineEdit *edit);
// At most `digits` decimal digits.
void limitDecimal(QLineEdit *edit, int digits);
// Text whose UTF-8 form has at most `bytes` bytes.
void limitText(QLineEdit *edit, int bytes);

// The leading decimal integer of a text (leading spaces skipped; 0 when it starts with no
// digit), as its low 16 bits.
int leadingDecimal(QStringView text);

} // namespace CParamInput
