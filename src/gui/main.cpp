#include "base/Files.h"
#include "gui/Application.h"
#include "gui/ProcessSignals.h"

int main(int argc, char** argv) {
    vorna::gui::IgnoreBrokenPipes();
    vorna::LetOversizeWritesFail();
    vorna::gui::Application app(argc, argv);
    return app.Run();
}
