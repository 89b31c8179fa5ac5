#include "UpdateKinds.h"

#include "UtilBox/FileHelpers.h"
#include "UtilBox/InternalError.h"
#include "UtilBox/Registry.h"

namespace kalmora {
namespace {

constexpr const char* ProductKey = "Software\\Kalmora";

std::string ProductDirectory(const char* valueName) {
    return AddTrailingBackslash(ReadRegistryString(valueName, "", ProductKey, false));
}

} // namespace

std::string GetDatabaseDir() {
    return ProductDirectory("DatabaseDir");
}

std::string GetInstallDir() {
    return ProductDirectory("InstallDir");
}

std::string GetConfigDir() {
    return GetDatabaseDir() + "config/";
}

std::string GetDevConfigDir() {
    std::string sourceDir, targetDir;
    bool replace = false, needsPassword = false;
    GetOnlineUpdateDirs("dev", sourceDir, targetDir, replace, needsPassword);
    return sourceDir;
}

std::string GetPartnerConfigDir() {
    std::string sourceDir, targetDir;
    bool replace = false, needsPassword = false;
    GetOnlineUpdateDirs("partner", sourceDir, targetDir, replace, needsPassword);
    return sourceDir;
}

void GetOnlineUpdateDirs(const std::string& kind, std::string& sourceDir, std::string& targetDir,
                         bool& replace, bool& needsPassword) {
    sourceDir.clear();
    targetDir.clear();
    sourceDir = GetConfigDir() + kind + "/";
    if (kind == "dev" || kind == "partner") {
        targetDir = sourceDir;
        replace = true;
        needsPassword = false;
    } else if (kind == "patch") {
        targetDir = GetInstallDir();
        replace = false;
        needsPassword = true;
    } else {
        throw EInternalError("Unknown online update type: " + kind);
    }
}

} // namespace kalmora
