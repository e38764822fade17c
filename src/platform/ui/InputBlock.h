#pragma once

#include <QObject>

namespace ui {

// While alive, no key press, click or wheel turn reaches any window: work that lets the
// event loop run to repaint (progress texts) cannot be started again or interrupted by the
// user meanwhile. Input made in that time is dropped, not delivered afterwards.
class InputBlock : public QObject {
public:
    InputBlock();
    ~InputBlock() override;
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ui
