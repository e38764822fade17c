#pragma once

namespace ui {
class Application;
}

namespace testing_support {

// The application object of the widget tests, created on first use and kept for the run:
// the program's own ui::Application, on the offscreen platform unless another one is set,
// and not quitting when a test closes its last window.
ui::Application& guiApp();

} // namespace testing_support
