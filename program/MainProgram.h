#pragma once

// The program body's window part: the application object, the wizard window and the event loop, which ends
// when the window has closed (by itself, by the user, or by a close signal).

#include "lmThreadManager/lmThreadManager.h"

#include <functional>
#include <memory>

namespace kalmora {

// Runs the window until it has closed; by then it has stopped the threads and freed `manager`. onPoll runs
// about every 100 ms. Main thread only.
void RunUpdateWindow(int& argc, char** argv, std::unique_ptr<TThreadManager>& manager,
                     const std::function<void()>& onPoll);

} // namespace kalmora
