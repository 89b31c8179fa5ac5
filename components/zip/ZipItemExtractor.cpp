#include "ZipItemExtractor.h"

#include "ZipCrc32.h"
#include "ZipDecoder.h"
#include "ZipErrors.h"
#include "ZipPaths.h"
#include "fs/FileSystem.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {

namespace {

constexpr size_t BlockSize = 256 * 1024;

} // namespace

time_t DosDateTimeToTime(uint16_t date, uint16_t time) {
    if (date == 0)
        return -1;
    // mktime looks at the time zone file on every call; entries of one archive mostly share their date and
    // hour, and within an hour local time moves in step with UTC.
    thread_local uint32_t cachedHour = 0;
    thread_local time_t cachedStart = -1;
    uint32_t hour = static_cast<uint32_t>(date) << 5 | (time >> 11);
    unsigned minutes = (time >> 5) & 0x3F;
    unsigned seconds = (time & 0x1F) * 2;
    if (hour != cachedHour || cachedStart == -1 || minutes > 59 || seconds > 59) {
        struct tm tm {};
        tm.tm_year = ((date >> 9) & 0x7F) + 80;
        tm.tm_mon = ((date >> 5) & 0x0F) - 1;
        tm.tm_mday = date & 0x1F;
        tm.tm_hour = time >> 11;
        tm.tm_min = static_cast<int>(minutes);
        tm.tm_sec = static_cast<int>(seconds);
        tm.tm_isdst = -1;
        time_t exact = mktime(&tm);
        if (exact == -1 || minutes > 59 || seconds > 59)
            return exact;
        cachedHour = hour;
        cachedStart = exact - minutes * 60 - seconds;
        return exact;
    }
    return cachedStart + minutes * 60 + seconds;
}

unsigned TargetMode(const TZipItem& item, unsigned umask) {
    if (item.HasUnixMode()) {
        unsigned mode = item.UnixMode();
        // A link becomes a file holding the link text; it has no business being executable.
        if (S_ISLNK(mode))
            return mode & 0666;
        return mode & 0777; // setuid, setgid and sticky are dropped
    }
    if (item.isFolder)
        return 0777 & ~umask; // a read-only folder means nothing to its files, so the bit is not applied
    unsigned mode = 0666 & ~umask;
    if (item.header.externalFileAttributes & MsDosReadOnlyAttribute)
        mode &= ~0222u;
    return mode;
}

TZipItemExtractor::TZipItemExtractor(TZipExtractSettings settings, TZipSource& source,
                                     const TZipDirectory& directory, TZipTargetTree& tree)
    : FSettings(std::move(settings)), FDirectory(directory), FTree(tree), FInput(source, BlockSize),
      FOutput(BlockSize), FUmask(fs::ProcessUmask()) {}

int TZipItemExtractor::ParentFolder(const std::vector<std::string>& segments, size_t count) {
    bool create = FSettings.options.Contains(TExtractOption::eoCreateDirs);
    try {
        return FTree.Folder(segments, count, create);
    } catch (const EInOutError& e) {
        if (!create)
            throw;
        throw EParentFolderError(e.Message(), e.ErrorCode);
    }
}

void TZipItemExtractor::Extract(const TZipItem& item) {
    std::vector<std::string> segments = SafeRelativeSegments(item.fileName);
    if (item.isFolder) {
        if (!FSettings.options.Contains(TExtractOption::eoRestorePath))
            return;
        ParentFolder(segments, segments.size());
        FTree.DeferFolderAttributes(
            segments, TargetMode(item, FUmask),
            DosDateTimeToTime(item.header.lastModFileDate, item.header.lastModFileTime));
        return;
    }
    if (!FSettings.options.Contains(TExtractOption::eoRestorePath))
        segments.erase(segments.begin(), segments.end() - 1);
    ExtractFile(item, segments);
}

void TZipItemExtractor::CheckPassword(const TZipItem& item, const LocalFileHeader& local) {
    if (FInput.Remaining() < EncryptionHeaderSize)
        throw EAbZipDataError("Encrypted entry too short for its encryption header: " + item.fileName);
    std::array<uint8_t, EncryptionHeaderSize> header{};
    FInput.ReadExact(header, "encryption header");
    // With a data descriptor the CRC was not known when the header was written; the time stands in.
    uint8_t checkByte = HasFlag(item.header.generalPurposeBitFlag, TZipFlag::DataDescriptor)
                            ? static_cast<uint8_t>(local.lastModFileTime >> 8)
                            : static_cast<uint8_t>(item.header.crc32 >> 24);
    std::string& password = FSettings.password;
    int failures = 0;
    for (;;) {
        if (password.empty()) {
            if (FSettings.onNeedPassword)
                FSettings.onNeedPassword(item, password);
            if (password.empty())
                throw EAbZipInvalidPassword();
        }
        auto decrypter = std::make_unique<TZipDecrypter>(password);
        if (decrypter->CheckHeader(header, checkByte)) {
            FInput.SetDecrypter(std::move(decrypter));
            return;
        }
        // Without a handler the password cannot change, so further tests would fail alike.
        if (++failures > FSettings.passwordRetries || !FSettings.onNeedPassword)
            throw EAbZipInvalidPassword();
        FSettings.onNeedPassword(item, password);
    }
}

void TZipItemExtractor::ExtractFile(const TZipItem& item, const std::vector<std::string>& segments) {
    // Folders first: they stay when the entry fails, as they would had the entry been written.
    int folder = ParentFolder(segments, segments.size() - 1);
    const TZipMethodInfo& method = CheckExtractable(item);
    LocalFileHeader local = OpenEntryData(item);
    uint64_t compressedSize = FInput.Remaining();
    if (item.IsEncrypted()) {
        CheckPassword(item, local);
        compressedSize -= EncryptionHeaderSize;
    }
    auto target = OpenOutput(item, segments, folder);
    if (!target)
        return;
    try {
        uint32_t crc = DecodeInto(item, method, compressedSize, *target);
        FinishFile(item, crc, *target);
    } catch (...) {
        target->file.Reset();
        FTree.Delete(target->folder, target->leaf);
        throw;
    }
}

const TZipMethodInfo& TZipItemExtractor::CheckExtractable(const TZipItem& item) {
    const auto& cd = item.header;
    if ((cd.versionNeededToExtract & 0xFF) >= 64)
        throw EAbZipVersion(cd.versionNeededToExtract & 0xFF);
    const TZipMethodInfo* method = FindZipMethod(cd.compressionMethod);
    if (!method)
        throw EAbZipInvalidMethod(ZipMethodName(cd.compressionMethod));
    if (HasFlag(cd.generalPurposeBitFlag, TZipFlag::StrongEncryption))
        throw EAbZipInvalidMethod("strong encryption");
    return *method;
}

LocalFileHeader TZipItemExtractor::OpenEntryData(const TZipItem& item) {
    const auto& cd = item.header;
    uint64_t localOffset = FDirectory.archiveStart + cd.relativeOffsetOfLocalHeader;
    if (localOffset < cd.relativeOffsetOfLocalHeader || localOffset >= FDirectory.centralDirectoryStart)
        throw EAbZipDataError("Local header offset " + std::to_string(cd.relativeOffsetOfLocalHeader) +
                              " outside the archive: " + item.fileName);
    // The first read takes the whole entry when it is small: the local header's name and extra field may
    // differ in length from the directory's copy, so the data's start is known only after it.
    uint64_t expected =
        LocalFileHeader::FixedSize + cd.fileNameLength + cd.extraFieldLength + cd.compressedSize;
    size_t firstRead = static_cast<size_t>(std::min<uint64_t>(expected + 64, BlockSize));
    auto local = ReadLocalHeader(localOffset, firstRead);
    if (!local && FDirectory.archiveStart != 0) {
        // The directory moved for another reason than a stub in front (a descriptor left out of its offset):
        // the offsets as stored may still be right.
        localOffset = cd.relativeOffsetOfLocalHeader;
        local = ReadLocalHeader(localOffset, firstRead);
    }
    if (!local)
        throw EAbZipDataError("No local file header at offset " + std::to_string(localOffset) + ": " +
                              item.fileName);
    FInput.Skip(uint64_t{local->fileNameLength} + local->extraFieldLength, "local file header");
    // A stored size that reaches into the central directory is cut there; a decoder that needs the bytes
    // beyond finds its data ending early.
    FInput.Limit(std::min(cd.compressedSize, FInput.Remaining()));
    return *local;
}

std::optional<LocalFileHeader> TZipItemExtractor::ReadLocalHeader(uint64_t offset, size_t firstRead) {
    FInput.Reset(offset, FDirectory.centralDirectoryStart - offset, firstRead);
    std::array<uint8_t, LocalFileHeader::FixedSize> bytes{};
    FInput.ReadExact(bytes, "local file header");
    return ParseLocalFileHeader(bytes);
}

std::optional<TZipItemExtractor::TOutputFile>
TZipItemExtractor::OpenOutput(const TZipItem& item, const std::vector<std::string>& segments, int folder) {
    TOutputFile target{folder, segments.back(), FTree.ShownPath(item.fileName), {}};
    if (FSettings.onConfirmOverwrite && FTree.Exists(folder, target.leaf)) {
        bool confirm = true;
        FSettings.onConfirmOverwrite(item, confirm);
        if (!confirm)
            return std::nullopt;
        // The handler may have touched the tree; the folder descriptor is fetched again.
        target.folder = ParentFolder(segments, segments.size() - 1);
    }
    target.file = FTree.CreateFile(target.folder, target.leaf, target.shownPath);
    return target;
}

uint32_t TZipItemExtractor::DecodeInto(const TZipItem& item, const TZipMethodInfo& method,
                                       uint64_t compressedSize, TOutputFile& target) {
    const auto& cd = item.header;
    uint32_t crc = 0;
    if (cd.uncompressedSize == 0)
        return crc;
    TZipDecoderParams params{cd.compressionMethod, cd.generalPurposeBitFlag, compressedSize,
                             cd.uncompressedSize, cd.crc32};
    auto decoder = method.factory(FInput, params);
    uint64_t left = cd.uncompressedSize;
    for (;;) {
        // Asking for one byte more than declared tells whether the stream goes on past its size.
        size_t want = static_cast<size_t>(std::min<uint64_t>(FOutput.size(), left + 1));
        size_t n = decoder->Decode(std::span(FOutput).first(want));
        if (n == 0)
            break;
        if (n > left)
            throw EAbZipDataError("Entry data decodes to more than its declared size of " +
                                  std::to_string(cd.uncompressedSize) + " bytes: " + item.fileName);
        crc = UpdateZipCrc32(crc, std::span(FOutput).first(n));
        if (int error = fs::WriteAll(target.file.Get(), FOutput.data(), n))
            throw EInOutError::FromErrno("Cannot write", target.shownPath, error);
        left -= n;
    }
    if (left > 0)
        throw EAbZipDataError("Entry data ends " + std::to_string(left) +
                              " bytes before its declared size: " + item.fileName);
    return crc;
}

void TZipItemExtractor::FinishFile(const TZipItem& item, uint32_t crc, TOutputFile& target) {
    const auto& cd = item.header;
    if (crc != cd.crc32)
        throw EAbZipBadCRC(cd.crc32, crc);
    time_t modified = DosDateTimeToTime(cd.lastModFileDate, cd.lastModFileTime);
    if (modified != -1) {
        struct timespec times[2] = {{modified, 0}, {modified, 0}};
        ::futimens(target.file.Get(), times);
    }
    if (::fchmod(target.file.Get(), TargetMode(item, FUmask)) != 0)
        throw EInOutError::FromErrno("Cannot set attributes of", target.shownPath, errno);
    if (int error = target.file.Close())
        throw EInOutError::FromErrno("Cannot write", target.shownPath, error);
}

} // namespace kalmora
