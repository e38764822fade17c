#include "platform/ui/Edits.h"

#include <QLineEdit>
#include <QValidator>

namespace ui {

namespace {

class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

} // namespace

void setUpperCase(QLineEdit* edit) {
    edit->setValidator(new UpperCaseValidator(edit));
}

} // namespace ui
