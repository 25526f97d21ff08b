#pragma once

namespace km {

// Start-up: single instance, locale, settings store, main window, message loop.
int RunKestrum(int argc, char** argv);

} // namespace km
