#pragma once

// SIGTERM, SIGINT and SIGHUP ask the program to close as the window's cancel does. The handler only notes the
// first such signal; the main thread looks at it while it waits for the update thread.

namespace kalmora {

void InstallCloseSignalHandlers();
bool CloseRequested();
// The first close signal that came, 0 when none did.
int CloseSignal();

} // namespace kalmora
