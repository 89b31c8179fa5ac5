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
// A machine-wide setting that no user may change: the per-user hive is never read for it.
struct TMachineSetting {
    bool Present = false; // the machine-wide hive holds a value of that name
    bool IsText = false;  // of a string type; a REG_MULTI_SZ gives its strings joined by line breaks
    std::string Text;
    bool UserValue = false; // the per-user hive holds one of that name too (which counts for nothing)
};
TMachineSetting ReadMachineSetting(const std::string& name, const std::string& key = {});
bool WriteRegistryString(const std::string& name, const std::string& value, const std::string& key = {},
                         bool onlyHKCU = false, bool onlyHKLM = false);

} // namespace kalmora
