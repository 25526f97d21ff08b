// Runs the help tests with the help window pointed at the pages shipped in
// the source tree.
#include "support/GuiTestRunner.h"

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("KM_HELP_DIR", KM_TEST_HELP_DIR, 1);
    return km::test::RunGuiTests(argc, argv);
}
