#pragma once
// Wires the TCP library to the user interface once, at start-up: every
// network wait pumps the window's events (so it repaints and its Cancel
// button works) and ends when the cancel flag is raised.
namespace km {

void InstallTcpUiHooks();

} // namespace km
