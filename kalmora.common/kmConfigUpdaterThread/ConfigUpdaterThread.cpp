#include "ConfigUpdaterThread.h"

#include "FolderReplace.h"
#include "PackageInstall.h"
#include "SignedManifest.h"
#include "UtilBox/FileHelpers.h"
#include "UtilBox/Registry.h"
#include "UtilBox/TextHelpers.h"
#include "fs/TreeInstall.h"
#include "kmbpShared/UpdateKinds.h"
#include "lmDebug/lmDebug.h"

#include <cstring>

namespace kalmora {
namespace {

constexpr std::string_view SeedRecord = "init";
// The report's name for failures of the manifest, which every kind depends on.
constexpr std::string_view ManifestKind = "manifest";

} // namespace

std::string LastConfigUpdateValueName(const std::string& kind) {
    return "lastconfigupdate." + kind;
}

TConfigUpdaterThread::TConfigUpdaterThread(std::string name, TThreadManager& manager, bool fetchManifest,
                                           std::string installationId, bool includePatch,
                                           std::shared_ptr<TUpdateReport> report, TManifestTrust trust)
    : TManagedThread(std::move(name), manager), TempDir(CreateTempWorkDir(std::string(WorkDirPrefix))),
      FetchManifest(fetchManifest), IncludePatch(includePatch), InstallationId(std::move(installationId)),
      FReport(report ? std::move(report) : std::make_shared<TUpdateReport>()), FTrust(std::move(trust)) {
    // The program prints the run's failures itself; the log shows them only when asked to.
    FFatalExceptionFlags = DebugFlags::Error | DebugFlags::UpdateRun;
}

TConfigUpdaterThread::~TConfigUpdaterThread() {
    try {
        DeleteDirectoryTree(TempDir);
    } catch (const std::exception& e) {
        // A destructor must not raise; the work folder's name shows in the log for someone to remove it.
        DebugLog("Work folder " + TempDir + " not removed: " + e.what(), {},
                 DebugFlags::Warning | DebugFlags::UpdateRun);
    }
}

void TConfigUpdaterThread::Execute() {
    try {
        UpdateAll(IncludePatch);
    } catch (...) {
        if (Terminated() && IsAbort(std::current_exception()))
            return; // cancelled: the run stops where it was, which is no failure
        // The report makes it a failure of the run; the thread manager logs it once from FatalException.
        auto error = DescribeException(std::current_exception());
        FReport->AddFailure({"", "", error.className + ": " + error.message});
        throw;
    }
}

void TConfigUpdaterThread::AbortIfTerminated(void*, TWorkMode, std::int64_t workCount) {
    FReport->DownloadProgressed(workCount);
    if (Terminated())
        throw EAbort();
}

TWorkEvent TConfigUpdaterThread::DownloadProgress() {
    return [this](void* s, TWorkMode m, std::int64_t c) { AbortIfTerminated(s, m, c); };
}

TFailureNote TConfigUpdaterThread::NoteFor(const std::string& kind) {
    return [this, kind](const std::string& where, const std::string& reason) {
        // Going on with the next kind is what the run must do; the reason is kept for the report and the log.
        DebugLog(kind + ": " + where + ": " + reason, {}, DebugFlags::Warning | DebugFlags::UpdateRun);
        FReport->AddFailure({kind, where, reason});
    };
}

void TConfigUpdaterThread::RecoverInterruptedInstalls() {
    for (const TUpdateKind& kind : UpdateKinds) {
        const std::string name(kind.Name);
        const TOnlineUpdateDirs dirs = GetOnlineUpdateDirs(name);
        if (dirs.Replace && !dirs.TargetDir.empty())
            RecoverReplacedFolder(dirs.TargetDir);
        if (const std::string journal = InstallJournalPath(name); !dirs.Replace && !journal.empty()) {
            fs::TCopyFailure failure;
            if (!fs::FinishInterruptedInstall(journal, &failure)) {
                // Installing over a half-finished install would lose what its journal knows.
                NoteFor(name)(failure.Path, std::string("an interrupted install cannot be finished: ") +
                                                std::strerror(failure.Error));
                FUnfinishedKinds.insert(name);
            }
        }
    }
    RemoveStaleExtractionDirs(GetConfigDir());
}

void TConfigUpdaterThread::UpdateAll(bool includePatch) {
    RecoverInterruptedInstalls();
    // A cancel starts no request and aborts the download under way, but every kind's local seed package is
    // still installed: that needs nothing from the server.
    TManifest manifest;
    if (FetchManifest && !Terminated())
        manifest = LoadTheManifest();
    const std::string password = Terminated() ? std::string() : FetchPassword();
    for (const TUpdateKind& kind : UpdateKinds)
        if (includePatch || !kind.PatchesProgram)
            UpdateKind(std::string(kind.Name), manifest, password);
}

TManifest TConfigUpdaterThread::LoadTheManifest() {
    const std::string url = ManifestUrl();
    const TFailureNote note = NoteFor(std::string(ManifestKind));
    FReport->DownloadStarted(std::string(ManifestKind));
    if (!FTrust.SignedMode()) {
        TManifest manifest = LoadManifest(url, TempDir, DownloadProgress(),
                                          [&note, &url](const std::string& reason) { note(url, reason); });
        FReport->DownloadEnded();
        return manifest;
    }
    std::uint64_t timestamp = 0;
    TManifest manifest = LoadSignedManifest(url, TempDir, DownloadProgress(), FTrust, timestamp, note);
    FReport->DownloadEnded();
    // Recorded machine-wide only, where no user can lower it again.
    const std::string valueName(LastManifestTimestampValue);
    if (manifest && (!FTrust.LastTimestamp || timestamp > *FTrust.LastTimestamp) &&
        !WriteRegistryString(valueName, std::to_string(timestamp), {}, false, true))
        note(valueName, "the accepted manifest's timestamp cannot be recorded machine-wide");
    return manifest;
}

std::string TConfigUpdaterThread::FetchPassword() {
    const std::string id = TrimLeadingChars(InstallationId, "0");
    const std::string url = ConfigBaseUrl() + "lic/" + id + ".pwd";
    try {
        // Unlike a plain fetch of the text, this one can be cancelled, and tells a failure from "no
        // password".
        return Trim(HttpGetString(url, true, DownloadProgress()));
    } catch (const EAbort&) {
        return {};
    } catch (const EHttpError& e) {
        // 404: the server knows no password for this installation, and the patch is skipped as usual.
        if (e.StatusCode != 404)
            for (const TUpdateKind& kind : UpdateKinds)
                if (kind.NeedsPassword)
                    NoteFor(std::string(kind.Name))(url, FailureReason(std::current_exception()));
    }
    return {};
}

std::string TConfigUpdaterThread::PasswordForKind(const std::string& password, const std::string& kind) {
    const TUpdateKind* rules = FindUpdateKind(kind);
    return rules && !rules->NeedsPassword ? std::string() : password;
}

void TConfigUpdaterThread::UpdateKind(const std::string& kind, const TManifest& manifest,
                                      const std::string& password) {
    const TOnlineUpdateDirs dirs = GetOnlineUpdateDirs(kind);
    const std::string kindPassword = PasswordForKind(password, kind);
    if ((kindPassword.empty() && dirs.NeedsPassword) || FUnfinishedKinds.count(kind))
        return;
    const std::string packagePath = dirs.SourceDir + kind + ".zip";
    const std::string valueName = LastConfigUpdateValueName(kind);
    const TFailureNote note = NoteFor(kind);
    std::string recorded;

    auto record = [&](const std::string& value) {
        if (WriteRegistryString(valueName, value))
            FReport->AddInstalled({kind, value});
        else
            note(valueName, "the installed package cannot be recorded");
    };

    if (IsExistingFile(packagePath) &&
        InstallPackage(packagePath, kind, kindPassword, dirs.Replace, dirs.TargetDir, note)) {
        recorded = SeedRecord;
        record(recorded);
    }
    if (!manifest)
        return;
    recorded = ReadRegistryString(valueName, recorded);
    FReport->DownloadStarted(kind);
    const bool fetched = FetchPackage(
        manifest, kind, recorded, packagePath, TempDir, DownloadProgress(), [this] { return Terminated(); },
        note);
    FReport->DownloadEnded();
    if (fetched && InstallPackage(packagePath, kind, kindPassword, dirs.Replace, dirs.TargetDir, note))
        record(recorded);
}

} // namespace kalmora
