#pragma once

namespace vorna::cli {
int RunVornactl(int argc, char** argv);
}
