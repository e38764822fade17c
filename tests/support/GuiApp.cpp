#include "support/GuiApp.h"

#include "platform/ui/Guard.h"

namespace testing_support {

ui::Application& guiApp() {
    static int argc = 1;
    static char name[] = "ordertool-tests";
    static char* argv[] = {name, nullptr};
    static ui::Application* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        auto* a = new ui::Application(argc, argv);
        ui::Application::setQuitOnLastWindowClosed(false);
        return a;
    }();
    return *app;
}

} // namespace testing_support
