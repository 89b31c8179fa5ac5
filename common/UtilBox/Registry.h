#pragma once

// The settings store: string values under the standard registry root, read per user first and machine-wide
// second, written machine-wide (removing a per-user copy) with a per-user fallback when that is refused.
// Reads never fail; writes report by their result.

#include <string>
#include <string_view>

namespace kalmora {

// The product's key: the standard root the program sets and where the installation's settings live.
inline constexpr std::string_view ProductRegistryKey = "Software\\Kalmora";

void SetStandardRegistryRoot(const std::string& root);
std::string GetStandardRegistryRoot();
// Back to the state at program start (no root); the unit's shut-down and tests call it.
void ResetStandardRegistryRoot();
void SplitRegistryPath(std::string& key, std::string& name);
std::string ReadRegistryString(const std::string& name, const std::string& defaultValue = {},
                               const std::string& key = {}, bool onlyHKCU = false);
// The machine-wide value alone, for settings no user may change for root (a per-user copy is not read).
std::string ReadMachineRegistryString(const std::string& name, const std::string& defaultValue = {},
                                      const std::string& key = {});
bool WriteRegistryString(const std::string& name, const std::string& value, const std::string& key = {},
                         bool onlyHKCU = false, bool onlyHKLM = false);

} // namespace kalmora
