#pragma once
// What every GUI test binary does around its tests: the offscreen platform,
// a private home and XDG directories, and a watchdog for modal dialogs.

namespace km::test {

// Sets up the environment, creates the QApplication and runs every test. A
// modal dialog that stays open for 10 s (one that no test answers) fails the
// running test with the dialog's object name and text, and is closed so the
// suite goes on instead of hanging.
int RunGuiTests(int argc, char** argv);

} // namespace km::test
