#pragma once

// A seam for tests: the file layer's steps that an install is made of ask here first, so a test can make the
// Nth write, sync, rename or link fail as the system would, fill the disk after N bytes, or stop the process
// between two steps. Without a hook nothing is asked and nothing changes.

#include <cstddef>
#include <functional>

namespace kalmora::fs {

enum class TFsStep { Read, Write, Sync, Rename, Link, MakeFolder, Remove, List };

// Called before each step with the bytes it is about to write (0 for the other steps); a non-zero result
// fails the step with that errno value.
using TFaultHook = std::function<int(TFsStep step, std::size_t bytes)>;

// Installs `hook` (an empty one removes it). Not for concurrent use with the steps themselves: set it before
// the work starts and remove it after.
void SetFaultHookForTesting(TFaultHook hook);

// 0, or the errno value the hook chose for this step.
int InjectedFault(TFsStep step, std::size_t bytes = 0);

} // namespace kalmora::fs
