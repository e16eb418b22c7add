#include "gui/ProcessSignals.h"

namespace vorna::gui {

void IgnoreBrokenPipes() {}

void CatchQuitSignals(void (*)(int)) {}

}  // namespace vorna::gui
