#pragma once

// Folder descriptors, listings and creation shared by the tree walks, the settings store and the extractor.
// Functions that return int give 0 on success and the errno value otherwise; none of them throws.

#include "FileSystem.h"

#include <dirent.h>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kalmora::fs {

// True when `path` is a folder itself, not a link to one.
bool IsPlainDirectory(const std::string& path);

// Opens a folder the caller names itself; such a root may be a link (an installation folder often is).
TFileDescriptor OpenDirectory(const std::string& path);
// Opens the folder `name` inside `parent` without following a link: a link or a file standing there fails
// (ELOOP or ENOTDIR), so a walk never leaves its tree.
TFileDescriptor OpenDirectoryAt(int parent, const std::string& name);

// Owns a directory stream and closes it when it goes.
struct TDirectoryStreamCloser {
    void operator()(DIR* dir) const noexcept { ::closedir(dir); }
};
using TDirectoryStream = std::unique_ptr<DIR, TDirectoryStreamCloser>;

// The names in the open folder `dirFd`, "." and ".." left out. The descriptor stays open and usable.
int ListNames(int dirFd, std::vector<std::string>& names);

// Creates the folder `path` with `mode` and every missing parent with `parentMode` (both before the umask).
// A folder that exists is fine, also when a concurrent creator was first; anything else standing on the path
// gives ENOTDIR.
int CreateFolders(const std::string& path, mode_t mode, mode_t parentMode = 0755);

} // namespace kalmora::fs
