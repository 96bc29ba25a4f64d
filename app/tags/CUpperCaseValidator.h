#pragma once

#include <QValidator>

// Turns typed letters into capitals as they are entered (the hex fields of the tag pages).
class CUpperCaseValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString &input, int &position) const override;
};
