#pragma once

// One hive file of the settings store. Writers serialise on an exclusive flock of "<hive>.lock", read the
// current file, change it and replace it through "<hive>.tmp" (written, synced, renamed, folder synced), so a
// crash leaves the old or the new file and two writers lose neither change. Readers take no lock. A file that
// cannot be parsed is never replaced: reads report it as corrupt and writes to it fail.

#include "RegNode.h"

#include <functional>
#include <string>
#include <vector>

namespace kalmora::registry {

enum class RegStatus {
    Ok,
    NotFound,        // key or value absent
    AccessDenied,    // the system refused to create or replace the hive file (EACCES, EPERM, EROFS)
    Corrupt,         // the hive file cannot be parsed
    IoError,         // any other system error
    InvalidArgument, // a key path or value name the store cannot hold
};

std::string_view StatusText(RegStatus status);

// The hive files named by KALMORA_HKLM_FILE and KALMORA_HKCU_FILE, read at every call, with their defaults
// /var/lib/kalmora/HKLM.reg and ${XDG_CONFIG_HOME:-$HOME/.config}/kalmora/HKCU.reg.
std::string StandardHivePath(HiveId hive);

class THive {
public:
    THive(HiveId id, std::string path) : FId(id), FPath(std::move(path)) {}
    // The hive at its standard path as the environment gives it now.
    static THive Standard(HiveId id) { return THive(id, StandardHivePath(id)); }

    HiveId Id() const noexcept { return FId; }
    const std::string& Path() const noexcept { return FPath; }

    // Reads the whole hive; an absent file is an empty hive. On failure `error` says why.
    RegStatus Load(TRegNode& root, std::string* error = nullptr) const;

    // Under the writers' lock: loads the hive, lets `change` edit it and, when `change` returns Ok and the
    // tree differs, writes it back durably. Another status from `change` is returned with nothing written.
    RegStatus Modify(const std::function<RegStatus(TRegNode& root)>& change,
                     std::string* error = nullptr) const;

private:
    HiveId FId;
    std::string FPath;
};

// Modify for several hives as one change: each is locked (in the order given, the same order for every
// caller), read and changed by `change` with its index, and every changed one is written beside itself
// before the first is renamed into place. When one cannot be read, parsed, written or replaced, none is
// changed, and `error` names that hive.
RegStatus ModifyHives(const std::vector<THive>& hives,
                      const std::function<RegStatus(size_t index, TRegNode& root)>& change,
                      std::string* error = nullptr);

} // namespace kalmora::registry
