#pragma once

// The program's arguments: none for a run, --help or --version alone.

#include <string>
#include <string_view>

namespace kalmora {

inline constexpr std::string_view ProgramName = "kalmora-updater";

enum class TCommand { Run, Help, Version, UsageError };

// UsageError with `error` naming the argument.
TCommand ParseCommandLine(int argc, const char* const* argv, std::string& error);

std::string UsageText();
std::string VersionText();

} // namespace kalmora
