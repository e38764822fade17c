#include "platform/ui/Focus.h"

#include "platform/ui/Guard.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>
#include <unordered_map>
#include <vector>

namespace ui {

namespace {

// One watcher per application, on QApplication::focusChanged: focusOutEvent cannot tell a
// move inside the window from another window opening over it.
class ExitWatcher : public QObject {
public:
    explicit ExitWatcher(QApplication* app) : QObject(app) {
        connect(app, &QApplication::focusChanged, this, &ExitWatcher::focusChanged);
    }

    void set(QWidget* control, std::function<void()> handler) {
        if (!handler) {
            handlers_.erase(control);
            return;
        }
        if (handlers_.find(control) == handlers_.end()) {
            connect(control, &QObject::destroyed, this,
                    [this, control] { handlers_.erase(control); });
        }
        handlers_[control] = std::move(handler);
    }

private:
    void focusChanged(QWidget* old, QWidget* now) {
        if (running_ || old == nullptr || now == nullptr || old == now ||
            old->window() != now->window()) {
            return;
        }
        const auto it = handlers_.find(old);
        if (it == handlers_.end()) {
            return;
        }
        const std::function<void()> handler = it->second; // may be replaced while it runs
        running_ = true;
        guard(handler)();
        running_ = false;
    }

    std::unordered_map<QWidget*, std::function<void()>> handlers_;
    bool running_ = false;
};

ExitWatcher& exitWatcher() {
    static QPointer<ExitWatcher> watcher;
    if (watcher.isNull()) {
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        Q_ASSERT(app != nullptr);
        watcher = new ExitWatcher(app);
    }
    return *watcher;
}

class KeyFilter : public QObject {
public:
    explicit KeyFilter(QWidget* control) : QObject(control) { control->installEventFilter(this); }

    std::vector<KeyHandler> handlers;

    bool run(QKeyEvent& event) {
        const std::vector<KeyHandler> current = handlers; // a handler may attach another
        for (const KeyHandler& handler : current) {
            bool used = true;
            guard([&] { used = handler(event); })();
            if (used) {
                return true;
            }
        }
        return false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::KeyPress) {
            return run(*static_cast<QKeyEvent*>(event));
        }
        return false;
    }
};

KeyFilter* keyFilterOf(QWidget* control) {
    for (QObject* child : control->children()) {
        if (auto* filter = dynamic_cast<KeyFilter*>(child)) {
            return filter;
        }
    }
    return nullptr;
}

bool isTabStop(const QWidget* w, const QWidget* window) {
    return w->window() == window && w->isEnabled() && w->isVisible() &&
           (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->focusProxy() == nullptr;
}

} // namespace

void onExit(QWidget* control, std::function<void()> handler) {
    exitWatcher().set(control, std::move(handler));
}

void focusNextTabStop(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    window = window->window();
    QWidget* start = window->focusWidget();
    if (start == nullptr) {
        start = window;
    }
    // The focus chain is circular, so walking it from the focused widget wraps by itself.
    for (QWidget* w = start->nextInFocusChain(); w != start; w = w->nextInFocusChain()) {
        if (isTabStop(w, window)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void onKeyDown(QWidget* control, KeyHandler handler) {
    KeyFilter* filter = keyFilterOf(control);
    if (filter == nullptr) {
        filter = new KeyFilter(control);
    }
    filter->handlers.push_back(std::move(handler));
}

bool runKeyHandlers(QWidget* control, QKeyEvent& event) {
    KeyFilter* filter = keyFilterOf(control);
    return filter != nullptr && filter->run(event);
}

} // namespace ui

namespace ui {

bool previewWindowKey(QWidget* window, QObject* watched, QEvent* event,
                      const std::function<bool(QWidget* control, QKeyEvent& key)>& handler) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != window) {
        return false;
    }
    bool used = true;
    guard(
        [&] { used = handler(static_cast<QWidget*>(watched), *static_cast<QKeyEvent*>(event)); })();
    return used;
}

} // namespace ui
