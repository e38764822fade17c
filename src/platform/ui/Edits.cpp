#include "platform/ui/Edits.h"

#include "platform/db/Value.h"
#include "platform/ui/Format.h"

#include <QLineEdit>
#include <QToolButton>
#include <QValidator>
#include <limits>

namespace ui {

QToolButton* lookupButton(QWidget* parent, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(QStringLiteral("..."));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

namespace {

class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

// Acceptable: a number or nothing; Intermediate: a minus or a point still waiting for a digit.
QValidator::State numericState(const QString& input) {
    qsizetype i = input.startsWith(QLatin1Char('-')) ? 1 : 0;
    bool point = false;
    bool digit = false;
    for (; i < input.size(); ++i) {
        const QChar c = input[i];
        // QChar::isDigit would take Thai and other digits, which no conversion reads.
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digit = true;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            return QValidator::Invalid;
        }
    }
    return digit || input.isEmpty() ? QValidator::Acceptable : QValidator::Intermediate;
}

class NumericValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override { return numericState(input); }
};

} // namespace

void setUpperCase(QLineEdit* edit) {
    edit->setValidator(new UpperCaseValidator(edit));
}

void setNumeric(QLineEdit* edit) {
    edit->setValidator(new NumericValidator(edit));
}

std::optional<double> numericValue(const QString& text) {
    if (text.isEmpty() || numericState(text) != QValidator::Acceptable) {
        return std::nullopt;
    }
    // The text is plain digits, so a failed conversion over- or underflowed: Qt then gives
    // the infinity or 0 that the digits stand for.
    bool ok = false;
    return text.toDouble(&ok);
}

NumericRange NumericRange::int32() {
    return {double(std::numeric_limits<qint32>::min()), double(std::numeric_limits<qint32>::max()),
            true};
}

bool NumericRange::contains(double value) const {
    const double stored = wholeNumbers ? db::roundedHalfEven(value) : value;
    return stored >= minimum && stored <= maximum; // false for NaN
}

QString NumericRange::outOfRangeMessage() const {
    const QString picture = wholeNumbers ? QStringLiteral("#,##0") : QStringLiteral("#,##0.##");
    return QStringLiteral("ตัวเลขเกินขอบเขต !!") + QChar(13) +
           QStringLiteral("ป้อนได้ตั้งแต่ %1 ถึง %2")
               .arg(formatFloat(picture, minimum), formatFloat(picture, maximum));
}

} // namespace ui
