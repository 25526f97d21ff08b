// The main of the GUI test binaries that need nothing more.
#include "support/GuiTestRunner.h"

int main(int argc, char** argv) { return km::test::RunGuiTests(argc, argv); }
