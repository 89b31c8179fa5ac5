#include "ExitStatus.h"

namespace kalmora {

int RunExitStatus(const std::vector<TUpdateFailure>& failures, int closeSignal) {
    if (closeSignal > 0)
        return 128 + closeSignal;
    return ExitCode(failures.empty() ? TExitStatus::Success : TExitStatus::Failed);
}

} // namespace kalmora
