#pragma once

#include <string>

namespace kalmora {

// The "InstallationId" setting when it holds eight hexadecimal digits, otherwise the first eight hexadecimal
// digits of the machine id file in upper case; empty when neither gives eight digits.
std::string GetInstallationId(const std::string& machineIdFile = "/etc/machine-id");

// True for exactly eight hexadecimal digits.
bool IsInstallationId(const std::string& text);

} // namespace kalmora
