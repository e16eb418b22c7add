#include "cli/Vornactl.h"

int main(int argc, char** argv) {
    return vorna::cli::RunVornactl(argc, argv);
}
