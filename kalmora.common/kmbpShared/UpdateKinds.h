#pragma once

// The update kinds "dev", "partner" and "patch" and the local directories they resolve to from the settings.

#include <string>

namespace kalmora {

std::string GetDatabaseDir();
std::string GetInstallDir();
std::string GetConfigDir();
std::string GetDevConfigDir();
std::string GetPartnerConfigDir();
// Raises EInternalError "Unknown online update type: " + kind for any other kind.
void GetOnlineUpdateDirs(const std::string& kind, std::string& sourceDir, std::string& targetDir,
                         bool& replace, bool& needsPassword);

} // namespace kalmora
