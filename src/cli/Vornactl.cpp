#include "cli/Vornactl.h"

namespace vorna::cli {
int RunVornactl(int, char**) { return 2; }
}  // namespace vorna::cli
