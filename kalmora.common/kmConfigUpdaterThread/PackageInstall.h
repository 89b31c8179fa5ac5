#pragma once

// Bringing a kind's package from the configuration server to its package path and putting its content in
// place. Both operations run on the update thread and report every failure by their result.

#include "kmConfigUpdaterThread/ConfigManifest.h"

#include <functional>
#include <string>

namespace kalmora {

// True when the manifest offers a package whose date differs from `recorded` and it now lies at packagePath;
// `recorded` then holds the manifest's date. A failed or aborted download, a download finished after the
// thread was told to stop, or a download that cannot be moved to packagePath leave `recorded` unchanged.
// Raises only what ReadManifestEntry raises.
bool FetchPackage(const TManifest& manifest, const std::string& kind, std::string& recorded,
                  const std::string& packagePath, const std::string& workDir, const TWorkEvent& onWork,
                  const std::function<bool()>& isTerminated);

// Unpacks the package and replaces targetDir with the package's kind folder (replace mode: "dev", "partner")
// or copies that folder's content over targetDir ("patch"). True when the content reached targetDir.
bool InstallPackage(const std::string& packagePath, const std::string& kind, const std::string& password,
                    bool replace, const std::string& targetDir);

enum ShellOperation : unsigned { FO_MOVE = 1, FO_COPY = 2, FO_DELETE = 3, FO_RENAME = 4 };

// The shell's file operation, without any user interaction (showUI changes nothing here):
// - FO_COPY: a recursive, merging, overwriting copy. From "DIR/*" copies DIR's content into To; a folder is
//   copied into To when To is a folder, else as To; a file likewise.
// - FO_MOVE: as FO_COPY, but renames where it can and removes the source after a complete copy.
// - FO_DELETE: deletes From (a file or a whole tree; "DIR/*" empties DIR). To is not used.
// - FO_RENAME: renames From to To; an existing To makes it fail.
// False without touching anything when From is empty, To is empty (but for FO_DELETE), or From and To are
// equal ignoring case.
bool ShellFileOperation(const std::string& from, const std::string& to, unsigned operation, bool showUI);

// Removes extraction directories ("~km" + five digits) that a killed run left in the configuration folder.
void RemoveStaleExtractionDirs(const std::string& configDir);

} // namespace kalmora
