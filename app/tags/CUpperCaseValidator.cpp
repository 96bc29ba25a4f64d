#include "tags/CUpperCaseValidator.h"

QValidator::State CUpperCaseValidator::validate(QString &input, int &) const
{
    input = input.toUpper();
    return Acceptable;
}
