#pragma once

// Keys of a hive, opened the way the registry opens them: read-only (never created) or open-or-create.
// Every operation reads the hive file anew; nothing is cached between calls.

#include "Hive.h"

#include <string>
#include <string_view>
#include <vector>

namespace kalmora::registry {

class TRegKey {
public:
    // Opens an existing key; NotFound when it (or the hive file) is absent. The key's values are read once.
    static RegStatus Open(const THive& hive, std::string_view path, TRegKey& key,
                          std::string* error = nullptr);
    // Opens a key, creating it and its missing parents (a hive write when any is new).
    static RegStatus OpenOrCreate(const THive& hive, std::string_view path, TRegKey& key,
                                  std::string* error = nullptr);

    const std::string& Path() const noexcept { return FPath; }
    const TRegNode& Snapshot() const noexcept { return FNode; }

    // From the values read at opening; NotFound when absent.
    RegStatus QueryValue(std::string_view name, TRegValue& value) const;
    // Writes through to the hive (creating the key again if someone removed it meanwhile).
    RegStatus SetValue(std::string_view name, std::uint32_t type, std::string data,
                       std::string* error = nullptr);
    // NotFound when the value is absent; then nothing is written.
    RegStatus DeleteValue(std::string_view name, std::string* error = nullptr);

private:
    THive FHive{HiveId::LocalMachine, {}};
    std::string FPath;
    TRegNode FNode;
};

// Removes a key with all its subkeys; NotFound when absent, InvalidArgument for the hive root.
RegStatus DeleteKey(const THive& hive, std::string_view path, std::string* error = nullptr);

} // namespace kalmora::registry
