#pragma once

// The update run: one pass on its own thread that loads the manifest, fetches the installation's archive
// password and brings "dev", "partner" and (with a password) "patch" up to date. Every failure of a kind
// leaves that kind's recorded value alone; nothing is ever shown to the user.

#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "lmThreadManager/lmThreadManager.h"

#include <string>

namespace kalmora {

inline constexpr std::string_view ConfigUpdaterThreadName = "KMConfigUpdaterThread";

class TConfigUpdaterThread : public TManagedThread {
public:
    // Registers under `name` (raises "Thread already running" for a running name) and creates TempDir.
    TConfigUpdaterThread(std::string name, TThreadManager& manager, bool fetchManifest,
                         std::string installationId, bool includePatch);
    // Deletes TempDir with its content.
    ~TConfigUpdaterThread() override;

    const std::string TempDir;
    const bool FetchManifest;
    const bool IncludePatch;
    const std::string InstallationId;

    void UpdateAll(bool includePatch);
    std::string FetchPassword();
    static std::string PasswordForKind(const std::string& password, const std::string& kind);
    void UpdateKind(const std::string& kind, const TManifest& manifest, const std::string& password);
    // The progress callback of every download: raises EAbort once the thread is told to terminate.
    void AbortIfTerminated(void* sender, TWorkMode workMode, std::int64_t workCount);

protected:
    void Execute() override;

private:
    // Undoes what a killed run left in the replaced kinds' folders before anything reads them.
    void RecoverInterruptedInstalls();
};

// The registry value that records a kind's installed package.
std::string LastConfigUpdateValueName(const std::string& kind);

} // namespace kalmora
