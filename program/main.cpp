#include "CloseSignals.h"
#include "CommandLine.h"
#include "ConsoleReport.h"
#include "ExitStatus.h"
#include "MainProgram.h"
#include "RunConditions.h"
#include "SingleInstance.h"
#include "UpdaterProgram.h"
#include "UtilBox/Registry.h"
#include "startup/UnitList.h"

#include <cstdio>
#include <cstring>

using namespace kalmora;

namespace {

int Complain(TExitStatus status, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", std::string(ProgramName).c_str(), text.c_str());
    return ExitCode(status);
}

} // namespace

int main(int argc, char** argv) {
    std::string usageError;
    switch (ParseCommandLine(argc, argv, usageError)) {
    case TCommand::Help:
        std::fputs(UsageText().c_str(), stdout);
        return ExitCode(TExitStatus::Success);
    case TCommand::Version:
        std::fputs(VersionText().c_str(), stdout);
        return ExitCode(TExitStatus::Success);
    case TCommand::UsageError:
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", std::string(ProgramName).c_str(),
                     usageError.c_str(), std::string(ProgramName).c_str());
        return ExitCode(TExitStatus::Usage);
    case TCommand::Run:
        break;
    }

    InstallCloseSignalHandlers();
    TUnitSession units;
    SetStandardRegistryRoot(std::string(ProductRegistryKey));

    const TRunConditions conditions = CheckRunConditions();
    if (!conditions.Problem.empty())
        return Complain(TExitStatus::NotConfigured, conditions.Problem);

    TSingleInstanceLock lock(conditions.DatabaseDir);
    if (lock.OpenError() != 0)
        return Complain(TExitStatus::NotConfigured, lock.LockFile() + ": " + std::strerror(lock.OpenError()));
    if (!lock.Acquired())
        return Complain(TExitStatus::AlreadyRunning,
                        "another instance runs for this installation (" + lock.LockFile() + ")");

    auto report = std::make_shared<TUpdateReport>();
    auto console = TConsoleReport::ForStderr();
    auto manager = StartUpdate(conditions.InstallationId, report, conditions.Trust);
    RunUpdateWindow(argc, argv, manager, [&] { console.Update(*report); });
    console.Finish(*report);
    return RunExitStatus(report->Failures(), CloseSignal());
}
