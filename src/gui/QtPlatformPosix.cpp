#include "gui/QtPlatform.h"

namespace vorna::gui {

void ChooseQtPlatform() {}

}  // namespace vorna::gui
