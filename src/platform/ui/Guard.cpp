#include "platform/ui/Guard.h"

#include "platform/ui/Prompts.h"

#include <cstdio>
#include <utility>

namespace ui {

namespace {

ExceptionSink& installedSink() {
    static ExceptionSink sink;
    return sink;
}

void writeToStderr(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "unhandled exception: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "unhandled exception\n");
    }
}

bool isSilentAbort(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const SilentAbort&) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

ExceptionSink setExceptionSink(ExceptionSink sink) {
    return std::exchange(installedSink(), std::move(sink));
}

void deliverException(std::exception_ptr error) {
    if (!error || isSilentAbort(error)) {
        return;
    }
    try {
        if (installedSink()) {
            installedSink()(error);
        } else {
            writeToStderr(error);
        }
    } catch (...) {
        // A failing sink must not take the event loop down with it.
        writeToStderr(std::current_exception());
    }
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        deliverException(std::current_exception());
        return false;
    }
}

} // namespace ui
