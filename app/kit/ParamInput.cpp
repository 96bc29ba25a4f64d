#include "kit/ParamInput.h"

#include "kit/FieldWidth.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {

constexpr int addressLength = 15; // "255.255.255.255"
constexpr int lowBits16 = 0x10000;

// Accepts a text while its UTF-8 form fits the field.
class CByteLengthValidator final : public QValidator {
public:
    CByteLengthValidator(int bytes, QObject *parent)
        : QValidator(parent)
        , m_bytes(bytes)
    {
    }

    State validate(QString &input, int &) const override
    {
        return input.toUtf8().size() <= m_bytes ? Acceptable : Invalid;
    }

private:
    int m_bytes;
};

// The field also gets the width of its longest value.
void limitTo(QLineEdit *edit, const QString &pattern, int length, QStringView alphabet)
{
    edit->setMaxLength(length);
    fieldwidth::fitCharacters(edit, length, alphabet);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
}

} // namespace

namespace paraminput {

void limitHex(QLineEdit *edit, int digits)
{
    limitTo(edit, QStringLiteral("[0-9A-Fa-f]{0,%1}").arg(digits), digits, fieldwidth::hexDigits);
}

void limitIpAddress(QLineEdit *edit)
{
    const QString number = QStringLiteral("(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)");
    limitTo(
        edit, QStringLiteral("(%1\\.){3}%1").arg(number), addressLength, fieldwidth::decimalDigits);
}

void limitDecimal(QLineEdit *edit, int digits)
{
    limitTo(edit, QStringLiteral("[0-9]{0,%1}").arg(digits), digits, fieldwidth::decimalDigits);
}

void limitText(QLineEdit *edit, int bytes)
{
    edit->setMaxLength(bytes);
    edit->setValidator(new CByteLengthValidator(bytes, edit));
}

void showList(QComboBox *list, int value)
{
    if (list)
        list->setCurrentIndex(value < list->count() ? value : -1);
}

int listValue(const QComboBox *list, int kept)
{
    return list && list->currentIndex() >= 0 ? list->currentIndex() : kept;
}

int leadingDecimal(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && text[at] == u' ')
        ++at;
    int value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
        value = (value * 10 + (text[at].unicode() - u'0')) % lowBits16;
    return value;
}

} // namespace paraminput
