#pragma once

// Builds small archives byte by byte for the reader's tests, including the malformed and hostile ones no
// archiver writes: wrong CRCs, corrupt streams, traversal names, Zip64 records for tiny entries.

#include "support/TestFolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalmora::test {

inline constexpr uint16_t UnixMadeBy = 0x031E;  // Unix, version 3.0
inline constexpr uint16_t MsDosMadeBy = 0x0014; // MS-DOS, version 2.0
inline constexpr uint32_t UnixFile = 0100644u << 16;
inline constexpr uint32_t UnixFolder = (040755u << 16) | 0x10;

struct TTestEntry {
    std::string name;
    std::string data;
    uint16_t method = 0;                   // 0 stored, 8 deflated (by zlib); anything else needs compressed
    std::optional<std::string> compressed; // the entry's data bytes as stored, instead of compressing data
    uint16_t flags = 0;
    uint16_t versionMadeBy = UnixMadeBy;
    uint16_t versionNeeded = 20;
    uint32_t externalAttributes = UnixFile;
    std::optional<uint32_t> crc;              // instead of the CRC of data
    std::optional<uint64_t> uncompressedSize; // instead of data.size()
    std::string extra;                        // extra fields of both headers
    bool dataDescriptor = false;              // sizes and CRC after the data, zeros in the local header
    bool zip64 = false;                       // sizes and offset only in a Zip64 extra field
    uint16_t dosTime = 0x6000;                // 12:00:00
    uint16_t dosDate = 0x5821;                // 2024-01-01
};

struct TTestArchiveOptions {
    bool zip64EndRecords = false;
    std::string prefix; // bytes in front of the archive, as a self-extractor stub
    uint16_t diskNumber = 0;
    std::string comment;

    TTestArchiveOptions& Zip64() { return zip64EndRecords = true, *this; }
    TTestArchiveOptions& Prefix(std::string bytes) { return prefix = std::move(bytes), *this; }
    TTestArchiveOptions& Disk(uint16_t number) { return diskNumber = number, *this; }
    TTestArchiveOptions& Comment(std::string text) { return comment = std::move(text), *this; }
};

class TZipTestBuilder {
public:
    TZipTestBuilder& Add(TTestEntry entry);
    TZipTestBuilder& AddFile(const std::string& name, const std::string& data, uint16_t method = 8);
    TZipTestBuilder& AddFolder(const std::string& name);
    std::string Build(const TTestArchiveOptions& options = {}) const;

private:
    std::vector<TTestEntry> FEntries;
};

// Raw Deflate by zlib; strategy 0 is zlib's default strategy.
std::string RawDeflate(const std::string& data, int level = 6, int strategy = 0);
// A deterministic, poorly compressible byte string.
std::string Noise(size_t size, uint32_t seed);
uint32_t Crc32(const std::string& data);
// Info-ZIP Unicode Path field (0x7075) for storedName holding utf8Name.
std::string UnicodePathExtra(const std::string& storedName, const std::string& utf8Name);
// Xceed field (0x554E, "NUCX") holding the name as UTF-16LE code units.
std::string XceedUnicodeExtra(const std::u16string& name);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Lists every path below root, relative, folders with a trailing "/", sorted.
std::vector<std::string> ListTree(const std::string& root);
unsigned PermissionBits(const std::string& path);
// Runs a shell command; returns its exit status.
int RunShell(const std::string& command);
bool HaveTool(const std::string& name);

} // namespace kalmora::test
