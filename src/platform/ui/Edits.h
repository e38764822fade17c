#pragma once

#include <QString>
#include <optional>

class QLineEdit;
class QToolButton;
class QWidget;

namespace ui {

// The flat "..." button beside an edit that opens its lookup; it takes no focus, so the
// focus stays in the edit while the lookup is open.
QToolButton* lookupButton(QWidget* parent, const QString& hint);

// Upper-case input: typed, pasted and assigned text is shown and kept in upper case.
void setUpperCase(QLineEdit* edit);

// Numeric input: ASCII digits, one decimal point and a leading minus. Any other key is
// refused, and so is pasted text that is not such a number ("abc", "0x10", "๑๒", "1e5").
void setNumeric(QLineEdit* edit);

// The number in text that a numeric edit accepts; nullopt for any other text and for text
// without a digit ("", "-", "."). Too many digits for a double read as an infinity.
std::optional<double> numericValue(const QString& text);

// The numbers a numeric edit may store. Whole numbers are checked as they are stored:
// rounded half to even.
struct NumericRange {
    double minimum = 0;
    double maximum = 0;
    bool wholeNumbers = false;

    // What the server's int holds.
    static NumericRange int32();
    bool contains(double value) const;
    // The message for a number outside the range, naming the range.
    QString outOfRangeMessage() const;
};

} // namespace ui
