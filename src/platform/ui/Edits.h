#pragma once

class QLineEdit;

namespace ui {

// Upper-case input: typed, pasted and assigned text is shown and kept in upper case.
void setUpperCase(QLineEdit* edit);

} // namespace ui
