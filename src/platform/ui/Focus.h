#pragma once

#include <functional>

class QEvent;
class QKeyEvent;
class QObject;
class QWidget;

namespace ui {

// Exit handler of a control: runs (through ui::guard) when the focus moves from the control
// to another widget of the same top-level window, by Tab, Enter navigation, a click or
// code. It does not run when another window (a message box, a lookup) takes the focus or
// the window loses activation, nor when the focus comes back to the control afterwards.
// Focus moves made while an exit handler runs (say, putting the focus back on the
// control) run no exit handler. One handler per control; an empty one removes it.
void onExit(QWidget* control, std::function<void()> handler);

// Moves the focus forward to the next tab stop of the window, wrapping from the last to
// the first; counts only enabled, visible widgets that take the focus by Tab.
void focusNextTabStop(QWidget* window);

// Key handler of a control: sees the control's key presses before the control does and
// returns true when it used the key (the control then does not see it). Runs through the
// guard; a handler that throws counts as having used the key. Several may be attached.
using KeyHandler = std::function<bool(QKeyEvent& event)>;
void onKeyDown(QWidget* control, KeyHandler handler);

// For a window's event filter: a key pressed in any widget of the window goes to the handler
// first, through the guard. True when the handler used the key; a handler that throws counts
// as having used it.
bool previewWindowKey(QWidget* window, QObject* watched, QEvent* event,
                      const std::function<bool(QWidget* control, QKeyEvent& key)>& handler);

// Runs the control's key handlers for a key the control itself will not receive (the form's
// key preview uses it for Enter); true when one of them used the key.
bool runKeyHandlers(QWidget* control, QKeyEvent& event);

} // namespace ui
