#pragma once

// Bringing a kind's package from the configuration server to its package path and putting its content in
// place. Both operations run on the update thread and report every failure by their result; noteFailure,
// when given, also hears what failed and why (a cancel is no failure and is not noted).

#include "kmConfigUpdaterThread/ConfigManifest.h"
#include "kmConfigUpdaterThread/ShellFileOperation.h"
#include "kmConfigUpdaterThread/UpdateReport.h"

#include <functional>
#include <string>

namespace kalmora {

// True when the manifest offers a package whose date differs from `recorded` and it now lies at packagePath;
// `recorded` then holds the manifest's date. A failed or aborted download, a download finished after the
// thread was told to stop, or a download that cannot be moved to packagePath leave `recorded` unchanged.
// Nothing is requested once isTerminated reports true. Raises only what ReadManifestEntry raises.
bool FetchPackage(const TManifest& manifest, const std::string& kind, std::string& recorded,
                  const std::string& packagePath, const std::string& workDir, const TWorkEvent& onWork,
                  const std::function<bool()>& isTerminated, const TFailureNote& noteFailure = {});

// Unpacks the package and replaces targetDir with the package's kind folder (replace mode: "dev", "partner")
// or copies that folder's content over targetDir as a whole ("patch", see fs::InstallTree). True when the
// content reached targetDir. All or nothing: when any entry of the package fails, or any step of putting it
// in place, targetDir is left exactly as it was.
bool InstallPackage(const std::string& packagePath, const std::string& kind, const std::string& password,
                    bool replace, const std::string& targetDir, const TFailureNote& noteFailure = {});

// The journal of a copy-over install of the kind (in the database folder), which the next start finishes when
// the install was interrupted; empty without a database folder.
std::string InstallJournalPath(const std::string& kind);

// Removes extraction directories (the work-folder prefix + five digits) that a killed run left in the
// configuration folder.
void RemoveStaleExtractionDirs(const std::string& configDir);

} // namespace kalmora
