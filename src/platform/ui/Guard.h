#pragma once

#include <QApplication>
#include <QMetaObject>
#include <QObject>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

namespace ui {

// Qt does not carry exceptions through its signal and event code, so every handler is
// run through guard(): an exception that escapes it goes to the exception sink (the
// application-wide error handler) and the event loop goes on.
using ExceptionSink = std::function<void(std::exception_ptr)>;

// Installs the sink and returns the previous one; an empty sink restores the default,
// which writes the message to standard error.
ExceptionSink setExceptionSink(ExceptionSink sink);

// Hands an exception to the sink. ui::SilentAbort is swallowed without a word; the sink
// itself never lets an exception out of here.
void deliverException(std::exception_ptr error);

namespace detail {

// Calls f with the signal's arguments when it takes them, else with none, so a handler
// without parameters can be connected to a signal that has some (clicked(bool)).
template <class F, class... Args> void invokeHandler(F& f, Args&&... args) {
    if constexpr (std::is_invocable_v<F&, Args&&...>) {
        std::invoke(f, std::forward<Args>(args)...);
    } else {
        static_assert(std::is_invocable_v<F&>, "a handler takes the signal's arguments or none");
        std::invoke(f);
    }
}

// Calls a member handler of the receiver, with the signal's arguments when it takes them.
template <class Member, class Receiver, class... Args>
void invokeMember(Member member, Receiver* receiver, Args&&... args) {
    if constexpr (std::is_invocable_v<Member, Receiver*, Args&&...>) {
        std::invoke(member, receiver, std::forward<Args>(args)...);
    } else {
        static_assert(std::is_invocable_v<Member, Receiver*>,
                      "a handler takes the signal's arguments or none");
        std::invoke(member, receiver);
    }
}

} // namespace detail

// A callable that runs f and delivers whatever it throws.
template <class F> auto guard(F&& f) {
    return [f = std::forward<F>(f)](auto&&... args) mutable -> void {
        try {
            detail::invokeHandler(f, std::forward<decltype(args)>(args)...);
        } catch (...) {
            deliverException(std::current_exception());
        }
    };
}

// Connects a signal to a member handler of the receiver through guard():
//   ui::on(BtSearch, &QToolButton::clicked, this, &TFrOrderShere::BtSearchClick);
template <class Sender, class Signal, class Receiver, class Member>
QMetaObject::Connection on(Sender* sender, Signal signal, Receiver* receiver, Member member) {
    return QObject::connect(
        sender, signal, receiver, guard([receiver, member](auto&&... args) -> void {
            detail::invokeMember(member, receiver, std::forward<decltype(args)>(args)...);
        }));
}

// The backstop: an exception that escapes an event handler called by the event loop is
// delivered to the same sink instead of ending the program.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace ui
