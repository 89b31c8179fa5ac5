#pragma once

// Installing the content of one folder over another as a whole, the way a package manager does. Every new
// entry is first written beside its target under a temporary name and synced, with a journal on disk saying
// what is under way; then the new entries are renamed into place, each replaced entry kept as a hard link
// until the whole set is in. A failure before the renames leaves the target exactly as it was; a rename that
// fails puts back at once what was already in place; a crash at any instant is finished from the journal by
// FinishInterruptedInstall, forward when every staged entry is complete and back otherwise.

#include "TreeOps.h"

#include <functional>
#include <string>

namespace kalmora::fs {

// Whether an entry of the source (its path below the source folder, "/" between segments) brings a mode of
// its own. One that does keeps the source's permission bits; one that does not takes those of the entry it
// replaces, or 0644 (a file) or 0755 (a folder) less the umask when it is new.
using TOwnModeTest = std::function<bool(const std::string& relativePath)>;

// Copies the content of the folder `source` over the existing folder `target`, merging: missing folders are
// created, files and links replaced, everything else stays. Links below the two roots are never followed; a
// folder of the target is never replaced by a file, nor a file by a folder. `journalPath` is where the
// journal lies while the install is under way; a journal already there is finished first. True when the whole
// content is in place. False with `failure` naming the entry and the errno value: the target then holds
// exactly what it held before, unless putting it back failed as well, and then the journal stays for the next
// start.
bool InstallTree(const std::string& source, const std::string& target, const std::string& journalPath,
                 const TOwnModeTest& hasOwnMode, TCopyFailure* failure = nullptr);

// Finishes what an interrupted InstallTree left, from its journal. True when no journal is (any longer)
// there; false with `failure` when it stays: it cannot be read, or a step of the recovery failed.
bool FinishInterruptedInstall(const std::string& journalPath, TCopyFailure* failure = nullptr);

} // namespace kalmora::fs
