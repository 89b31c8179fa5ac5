#pragma once

// Recursive delete and copy that never follow a symbolic link out of the tree they work on.

#include <string>

namespace kalmora::fs {

// Deletes the folder `path` with everything in it. A link inside is removed, never followed; a folder we own
// that we cannot write or list is made accessible first. An entry that cannot be removed is remembered and
// the walk goes on; its folder and that folder's parents then stay, and the result is false. A path that does
// not exist, or is not a real folder, gives false and nothing is touched.
bool RemoveTree(const std::string& path);
// RemoveTree for the entry `name` of the open folder `parent`; 0 or the errno value of what stayed.
int RemoveTreeAt(int parent, const std::string& name);

// Where CopyTree stopped.
struct TCopyFailure {
    std::string Path; // the target entry that could not be written
    int Error = 0;    // errno
};

// Copies the folder `source` over `target`, merging into folders that exist and creating those that do not
// (with the source's permission bits). Each file is replaced atomically: a temporary file in its target
// folder, synced, then renamed over the old one. A link is copied as a link with its text. Stops at the first
// entry that cannot be written and returns false, reporting it in `failure`; files copied before it stay.
// A target entry that is a link or a file where a folder should go is never followed or written into.
bool CopyTree(const std::string& source, const std::string& target, TCopyFailure* failure = nullptr);

// Removes what a writer killed before its rename left in the open folder: the temporary files of processes
// that no longer exist (TemporarySiblingName).
void RemoveOrphanedTemporaries(int folder);

} // namespace kalmora::fs
