#pragma once

// One entry of the archive as the central directory describes it.

#include "zip/ZipRecords.h"

#include <string>

namespace kalmora {

inline constexpr uint32_t MsDosReadOnlyAttribute = 0x01;
inline constexpr uint32_t MsDosDirectoryAttribute = 0x10;

struct TZipItem {
    CentralDirectoryFileHeader header;
    std::string rawFileName; // the stored bytes
    std::string fileName;    // decoded to UTF-8, "/" between folders
    bool isFolder = false;

    TZipHost HostSystem() const { return static_cast<TZipHost>(header.versionMadeBy >> 8); }
    bool IsEncrypted() const { return HasFlag(header.generalPurposeBitFlag, TZipFlag::Encrypted); }
    // The Unix mode from the upper half of the external attributes, when the entry carries one.
    bool HasUnixMode() const {
        return (HostSystem() == TZipHost::Unix || header.externalFileAttributes > 0x1FFFF) &&
               (header.externalFileAttributes >> 16) != 0;
    }
    uint32_t UnixMode() const { return header.externalFileAttributes >> 16; }
};

} // namespace kalmora
