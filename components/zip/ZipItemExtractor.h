#pragma once

// The work for one entry: its target path, its folders, the password check, decoding into the target file
// and the file's time and permissions.

#include "runtime/Exceptions.h"
#include "zip/ZipCentralDirectory.h"
#include "zip/ZipDecoder.h"
#include "zip/ZipEntryInput.h"
#include "zip/ZipExtractSettings.h"
#include "zip/ZipTargetTree.h"

#include <optional>

namespace kalmora {

// A parent folder that cannot be created: this one ends the whole extraction.
class EParentFolderError : public EInOutError {
public:
    using EInOutError::EInOutError;
};

// Seconds since the epoch for an MS-DOS date and time taken as local time; -1 when it names no time.
time_t DosDateTimeToTime(uint16_t date, uint16_t time);
// The permission bits an extracted file or folder receives: the Unix mode's rwx bits for entries that carry
// one, otherwise rw (rwx for folders) under the umask, with every write bit cleared for read-only files.
unsigned TargetMode(const TZipItem& item, unsigned umask);

class TZipItemExtractor {
public:
    TZipItemExtractor(TZipExtractSettings settings, TZipSource& source, const TZipDirectory& directory,
                      TZipTargetTree& tree);

    // Throws the entry's failure; EParentFolderError when a parent folder cannot be created.
    void Extract(const TZipItem& item);

private:
    struct TOutputFile {
        int folder; // owned by the tree
        std::string leaf;
        std::string shownPath;
        TFileDescriptor file;
    };

    void ExtractFile(const TZipItem& item, const std::vector<std::string>& segments);
    // The steps of one file entry, in order. Each throws the entry's failure.
    const TZipMethodInfo& CheckExtractable(const TZipItem& item);
    // Reads the local header and leaves the input at the entry's data, limited to its stored size.
    LocalFileHeader OpenEntryData(const TZipItem& item);
    std::optional<LocalFileHeader> ReadLocalHeader(uint64_t offset, size_t firstRead);
    // Tests the password on the encryption header and switches the input to decrypting.
    void CheckPassword(const TZipItem& item, const LocalFileHeader& local);
    // The created (truncated) target file; nullopt when the overwrite handler keeps the existing file.
    std::optional<TOutputFile> OpenOutput(const TZipItem& item, const std::vector<std::string>& segments,
                                          int folder);
    // Decodes the whole entry into the file and returns the CRC-32 of what was written.
    uint32_t DecodeInto(const TZipItem& item, const TZipMethodInfo& method, uint64_t compressedSize,
                        TOutputFile& target);
    // Checks the CRC-32, sets time and permissions and closes the file.
    void FinishFile(const TZipItem& item, uint32_t crc, TOutputFile& target);
    int ParentFolder(const std::vector<std::string>& segments, size_t count);

    TZipExtractSettings FSettings;
    const TZipDirectory& FDirectory;
    TZipTargetTree& FTree;
    TZipEntryInput FInput;
    std::vector<uint8_t> FOutput;
    unsigned FUmask;
};

} // namespace kalmora
