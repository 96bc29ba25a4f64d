#pragma once

#include <QStringView>

class QComboBox;
class QLineEdit;

// The input helpers of the pages: limits of their edits (a page refuses what does not fit the
// record field instead of cutting it later) and lists that show a value by position.
namespace paraminput {

// At most `digits` hex digits.
void limitHex(QLineEdit *edit, int digits = 2);
// At most `digits` decimal digits.
void limitDecimal(QLineEdit *edit, int digits);
// A dotted IPv4 address: four numbers 0..255.
void limitIpAddress(QLineEdit *edit);
// Text whose UTF-8 form has at most `bytes` bytes.
void limitText(QLineEdit *edit, int bytes);

// Selects the value's entry; a value outside the list (or no list) leaves it without selection.
void showList(QComboBox *list, int value);
// The selected position, or `kept` while nothing is selected (or there is no list).
int listValue(const QComboBox *list, int kept);

// The leading decimal integer of a text (leading spaces skipped; 0 when it starts with no
// digit), as its low 16 bits.
int leadingDecimal(QStringView text);

} // namespace paraminput
