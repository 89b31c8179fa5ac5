#pragma once

// The update run: one pass on its own thread that loads the manifest, fetches the installation's archive
// password and brings "dev", "partner" and (with a password) "patch" up to date. Every failure of a kind
// leaves that kind's recorded value alone; nothing is ever shown to the user. What failed, and what was
// installed, goes to the run's report for whoever started it.

#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "kmConfigUpdaterThread/ManifestTrust.h"
#include "kmConfigUpdaterThread/UpdateReport.h"
#include "lmThreadManager/lmThreadManager.h"

#include <memory>
#include <set>
#include <string>

namespace kalmora {

inline constexpr std::string_view ConfigUpdaterThreadName = "KMConfigUpdaterThread";

class TConfigUpdaterThread : public TManagedThread {
public:
    // Registers under `name` (raises "Thread already running" for a running name) and creates TempDir. The
    // run writes into `report` (a report of its own when none is given), which may outlive the thread. With
    // keys in `trust` the run is in signed mode.
    TConfigUpdaterThread(std::string name, TThreadManager& manager, bool fetchManifest,
                         std::string installationId, bool includePatch,
                         std::shared_ptr<TUpdateReport> report = nullptr, TManifestTrust trust = {});
    // Deletes TempDir with its content.
    ~TConfigUpdaterThread() override;

    const std::string TempDir;
    const bool FetchManifest;
    const bool IncludePatch;
    const std::string InstallationId;

    void UpdateAll(bool includePatch);
    // The archive password; empty when the server knows none (404), when the request failed (noted in the
    // report) or was cancelled.
    std::string FetchPassword();
    static std::string PasswordForKind(const std::string& password, const std::string& kind);
    void UpdateKind(const std::string& kind, const TManifest& manifest, const std::string& password);
    // The progress callback of every download: raises EAbort once the thread is told to terminate.
    void AbortIfTerminated(void* sender, TWorkMode workMode, std::int64_t workCount);

    TUpdateReport& Report() const { return *FReport; }

protected:
    // Runs UpdateAll. An exception that ends the run is logged here, once, and noted in the report; a cancel
    // is neither.
    void Execute() override;

private:
    // Undoes or finishes what a killed run left in the kinds' folders before anything reads them.
    void RecoverInterruptedInstalls();
    TWorkEvent DownloadProgress();
    TFailureNote NoteFor(const std::string& kind);
    // The manifest, verified first in signed mode (where its timestamp is then recorded); none after any
    // failure.
    TManifest LoadTheManifest();

    std::shared_ptr<TUpdateReport> FReport;
    const TManifestTrust FTrust;
    // Kinds whose interrupted install could not be finished at the start; this run leaves them alone.
    std::set<std::string> FUnfinishedKinds;
};

// The registry value that records a kind's installed package.
std::string LastConfigUpdateValueName(const std::string& kind);

} // namespace kalmora
