#include "UpdateKinds.h"

#include "UtilBox/FileHelpers.h"
#include "UtilBox/InternalError.h"
#include "UtilBox/Registry.h"

namespace kalmora {
namespace {

std::string ProductDirectory(const char* valueName) {
    return AddTrailingBackslash(ReadRegistryString(valueName, "", std::string(ProductRegistryKey), false));
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
    return GetOnlineUpdateDirs("dev").SourceDir;
}

std::string GetPartnerConfigDir() {
    return GetOnlineUpdateDirs("partner").SourceDir;
}

TOnlineUpdateDirs GetOnlineUpdateDirs(const std::string& kind) {
    TOnlineUpdateDirs dirs;
    dirs.SourceDir = GetConfigDir() + kind + "/";
    if (kind == "dev" || kind == "partner") {
        dirs.TargetDir = dirs.SourceDir;
        dirs.Replace = true;
        dirs.NeedsPassword = false;
    } else if (kind == "patch") {
        dirs.TargetDir = GetInstallDir();
        dirs.Replace = false;
        dirs.NeedsPassword = true;
    } else {
        throw EInternalError("Unknown online update type: " + kind);
    }
    return dirs;
}

} // namespace kalmora
