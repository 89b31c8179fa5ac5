#include "ConfigUpdaterThread.h"

#include "FolderReplace.h"
#include "PackageInstall.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/Registry.h"
#include "UtilBox/TextHelpers.h"
#include "kmbpShared/UpdateKinds.h"

namespace kalmora {
namespace {

constexpr std::string_view WorkDirPrefix = "~km";
constexpr std::string_view SeedRecord = "init";

} // namespace

std::string LastConfigUpdateValueName(const std::string& kind) {
    return "lastconfigupdate." + kind;
}

TConfigUpdaterThread::TConfigUpdaterThread(std::string name, TThreadManager& manager, bool fetchManifest,
                                           std::string installationId, bool includePatch)
    : TManagedThread(std::move(name), manager), TempDir(CreateTempWorkDir(std::string(WorkDirPrefix))),
      FetchManifest(fetchManifest), IncludePatch(includePatch), InstallationId(std::move(installationId)) {}

TConfigUpdaterThread::~TConfigUpdaterThread() {
    try {
        DeleteDirectoryTree(TempDir);
    } catch (...) {
    }
}

void TConfigUpdaterThread::Execute() {
    UpdateAll(IncludePatch);
}

void TConfigUpdaterThread::AbortIfTerminated(void*, TWorkMode, std::int64_t) {
    if (Terminated())
        throw EAbort();
}

void TConfigUpdaterThread::RecoverInterruptedInstalls() {
    for (auto kind : {"dev", "partner"}) {
        std::string sourceDir, targetDir;
        bool replace = false, needsPassword = false;
        GetOnlineUpdateDirs(kind, sourceDir, targetDir, replace, needsPassword);
        if (replace && !targetDir.empty())
            RecoverReplacedFolder(targetDir);
    }
    RemoveStaleExtractionDirs(GetConfigDir());
}

void TConfigUpdaterThread::UpdateAll(bool includePatch) {
    RecoverInterruptedInstalls();
    TManifest manifest;
    if (FetchManifest)
        manifest = LoadManifest(ManifestUrl(), TempDir,
                                [this](void* s, TWorkMode m, std::int64_t c) { AbortIfTerminated(s, m, c); });
    const std::string password = FetchPassword();
    UpdateKind("dev", manifest, password);
    UpdateKind("partner", manifest, password);
    if (includePatch)
        UpdateKind("patch", manifest, password);
}

std::string TConfigUpdaterThread::FetchPassword() {
    const std::string id = TrimLeadingChars(InstallationId, "0");
    return Trim(HttpGetString(ConfigBaseUrl() + "lic/" + id + ".pwd", false));
}

std::string TConfigUpdaterThread::PasswordForKind(const std::string& password, const std::string& kind) {
    if (kind == "dev" || kind == "partner")
        return {};
    return password;
}

void TConfigUpdaterThread::UpdateKind(const std::string& kind, const TManifest& manifest,
                                      const std::string& password) {
    std::string sourceDir, targetDir;
    bool replace = false, needsPassword = false;
    GetOnlineUpdateDirs(kind, sourceDir, targetDir, replace, needsPassword);
    const std::string kindPassword = PasswordForKind(password, kind);
    if (kindPassword.empty() && needsPassword)
        return;
    const std::string packagePath = sourceDir + kind + ".zip";
    const std::string valueName = LastConfigUpdateValueName(kind);
    std::string recorded;

    if (IsExistingFile(packagePath) && InstallPackage(packagePath, kind, kindPassword, replace, targetDir)) {
        recorded = SeedRecord;
        WriteRegistryString(valueName, recorded);
    }
    if (!manifest)
        return;
    recorded = ReadRegistryString(valueName, recorded);
    const TWorkEvent onWork = [this](void* s, TWorkMode m, std::int64_t c) { AbortIfTerminated(s, m, c); };
    if (FetchPackage(manifest, kind, recorded, packagePath, TempDir, onWork,
                     [this] { return Terminated(); }) &&
        InstallPackage(packagePath, kind, kindPassword, replace, targetDir))
        WriteRegistryString(valueName, recorded);
}

} // namespace kalmora
