#include "platform/ui/InputBlock.h"

#include <QApplication>
#include <QEvent>

namespace ui {

InputBlock::InputBlock() {
    qApp->installEventFilter(this);
}

InputBlock::~InputBlock() {
    qApp->removeEventFilter(this);
}

bool InputBlock::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::ContextMenu:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace ui
