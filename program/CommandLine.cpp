#include "CommandLine.h"

namespace kalmora {
namespace {
constexpr std::string_view Version = KALMORA_VERSION;
}

TCommand ParseCommandLine(int argc, const char* const* argv, std::string& error) {
    if (argc <= 1)
        return TCommand::Run;
    const std::string_view first = argv[1];
    if (argc == 2 && first == "--help")
        return TCommand::Help;
    if (argc == 2 && first == "--version")
        return TCommand::Version;
    const std::string_view wrong = (first == "--help" || first == "--version") ? argv[2] : first;
    error = "unknown argument: " + std::string(wrong);
    return TCommand::UsageError;
}

std::string UsageText() {
    return "Usage: " + std::string(ProgramName) +
           " [--help | --version]\n"
           "Brings the Kalmora installation's configuration packages (dev, partner, patch) up to date from\n"
           "the configuration server. Settings: DatabaseDir, InstallDir and InstallationId under\n"
           "Software\\Kalmora (see kalmora-reg). Environment: KALMORA_HKLM_FILE, KALMORA_HKCU_FILE,\n"
           "KALMORA_CONFIG_BASE_URL, KALMORA_DEBUG_LEVEL, TMPDIR.\n"
           "Exit status: 0 up to date or installed, 1 something failed, 2 usage error, 3 not configured,\n"
           "4 another instance runs, 128+N cancelled by signal N.\n";
}

std::string VersionText() {
    return std::string(ProgramName) + " " + std::string(Version) + "\n";
}

} // namespace kalmora
