#pragma once

// The update kinds "dev", "partner" and "patch": one table of what each means, and the local directories
// they resolve to from the settings.

#include <array>
#include <string>
#include <string_view>

namespace kalmora {

// The name prefix of every work directory the update makes (followed by five digits).
inline constexpr std::string_view WorkDirPrefix = "~km";

// How a kind's package reaches its target directory.
enum class TInstallMode {
    Replace,  // the target is replaced as a whole by the package's folder
    CopyOver, // the package's content is copied over the target, merging
};

// Where a kind's package content goes.
enum class TKindTarget {
    OwnFolder,  // the kind's own folder below the configuration directory
    InstallDir, // the product's installation directory
};

// The rules of one update kind. Every loop over the kinds and every rule about one reads this table.
struct TUpdateKind {
    std::string_view Name;
    TInstallMode Mode;
    TKindTarget Target;
    bool NeedsPassword;  // handled only when the archive password is known, and opened with it
    bool PatchesProgram; // a run without the program patch leaves this kind alone
};

// In the order a run handles them.
inline constexpr std::array<TUpdateKind, 3> UpdateKinds{{
    {"dev", TInstallMode::Replace, TKindTarget::OwnFolder, false, false},
    {"partner", TInstallMode::Replace, TKindTarget::OwnFolder, false, false},
    {"patch", TInstallMode::CopyOver, TKindTarget::InstallDir, true, true},
}};

// The kind of that exact name (case-sensitive); nullptr for any other.
const TUpdateKind* FindUpdateKind(std::string_view name);

// What one update kind means on disk.
struct TOnlineUpdateDirs {
    std::string SourceDir; // where the kind's package (kind + ".zip") is looked for and put
    std::string TargetDir; // what the package's content replaces or is copied over
    bool Replace = false;  // the target is replaced as a whole (else the content is copied over it)
    bool NeedsPassword = false;
};

std::string GetDatabaseDir();
std::string GetInstallDir();
std::string GetConfigDir();
std::string GetDevConfigDir();
std::string GetPartnerConfigDir();
// Raises EInternalError "Unknown online update type: " + kind for any other kind.
TOnlineUpdateDirs GetOnlineUpdateDirs(const std::string& kind);

} // namespace kalmora
