#pragma once

// The update kinds "dev", "partner" and "patch" and the local directories they resolve to from the settings.

#include <string>
#include <string_view>

namespace kalmora {

// The name prefix of every work directory the update makes (followed by five digits).
inline constexpr std::string_view WorkDirPrefix = "~km";

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
