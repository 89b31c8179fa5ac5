#pragma once

// The folder tree entries are written into. Every step goes through directory descriptors opened without
// following symbolic links, so nothing reaches outside the base directory, whatever was there before.

#include "fs/FileSystem.h"

#include <ctime>
#include <string>
#include <vector>

namespace kalmora {

using fs::TFileDescriptor;

class TZipTargetTree {
public:
    // Throws EAbNoSuchDirectory when baseDirectory is empty or not an existing folder.
    explicit TZipTargetTree(const std::string& baseDirectory);

    // The folder made of the first count segments, created level by level when create is set. The
    // descriptor stays owned by the tree and is valid until the next call. Throws EInOutError.
    int Folder(const std::vector<std::string>& segments, size_t count, bool create);
    // Creates or truncates the file leaf in folder; a symbolic link in its place is replaced, never followed.
    // Throws EInOutError.
    TFileDescriptor CreateFile(int folder, const std::string& leaf, const std::string& shownPath);
    bool Exists(int folder, const std::string& leaf);
    void Delete(int folder, const std::string& leaf);

    // Folder attributes are set when all entries are written, so that a folder without write permission
    // still receives its files.
    void DeferFolderAttributes(std::vector<std::string> segments, unsigned mode, time_t modified);
    void ApplyFolderAttributes();

    const std::string& BaseDirectory() const { return FBase; }
    // The path below the base as messages show it.
    std::string ShownPath(const std::string& relative) const;

private:
    struct TFolderAttributes {
        std::vector<std::string> segments;
        unsigned mode;
        time_t modified;
    };
    std::string FBase;
    TFileDescriptor FBaseFd;
    std::string FCachedPath;
    TFileDescriptor FCachedFd;
    std::vector<TFolderAttributes> FDeferred;
};

} // namespace kalmora
