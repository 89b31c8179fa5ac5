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

const TUpdateKind* FindUpdateKind(std::string_view name) {
    for (const TUpdateKind& kind : UpdateKinds)
        if (kind.Name == name)
            return &kind;
    return nullptr;
}

TOnlineUpdateDirs GetOnlineUpdateDirs(const std::string& kind) {
    const TUpdateKind* rules = FindUpdateKind(kind);
    if (!rules)
        throw EInternalError("Unknown online update type: " + kind);
    TOnlineUpdateDirs dirs;
    dirs.SourceDir = GetConfigDir() + kind + "/";
    dirs.TargetDir = rules->Target == TKindTarget::OwnFolder ? dirs.SourceDir : GetInstallDir();
    dirs.Replace = rules->Mode == TInstallMode::Replace;
    dirs.NeedsPassword = rules->NeedsPassword;
    return dirs;
}

} // namespace kalmora
