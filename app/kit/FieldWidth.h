#pragma once

#include <QStringView>

class QLineEdit;

// Line edits as wide as the values they hold: a field given a character count and the
// characters its values use keeps a minimum width that shows such a value whole at the field's
// font and style (again after either changes), in every language and at every font size.
namespace fieldwidth {

inline constexpr QStringView hexDigits = u"0123456789ABCDEFabcdef";
inline constexpr QStringView decimalDigits = u"0123456789";

// Width the field needs to show count characters, each as wide as the widest of alphabet.
int widthFor(const QLineEdit &field, int count, QStringView alphabet);
// Keeps the field at least widthFor(count, alphabet) wide.
void fitCharacters(QLineEdit *field, int count, QStringView alphabet);

} // namespace fieldwidth
