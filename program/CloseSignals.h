#pragma once

// SIGTERM, SIGINT and SIGHUP ask the program to close as the window's cancel does. The handler only sets a
// flag; the main thread looks at it while it waits for the update thread.

namespace kalmora {

void InstallCloseSignalHandlers();
bool CloseRequested();

} // namespace kalmora
