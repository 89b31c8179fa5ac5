#include "ZipArchive.h"

#include "ZipCentralDirectory.h"
#include "ZipErrors.h"
#include "ZipItemExtractor.h"
#include "ZipSource.h"
#include "ZipTargetTree.h"

#include <cerrno>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {

struct TZipArchive::TState {
    std::string fileName; // empty for a source in memory
    TFileDescriptor fd;
    std::unique_ptr<TZipSource> source;
    TZipDirectory directory;
};

namespace {

bool MatchesMask(const std::string& mask, const std::string& name) {
    if (mask == "*.*" || mask == "*" || mask.empty())
        return true;
    return fnmatch(mask.c_str(), name.c_str(), 0) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Rewrites the file as the empty archive unless it is one already; a file that cannot be opened for
// writing (a read-only archive) is left alone, since nothing of value would be gained.
void WriteBackEmptyArchive(const std::string& fileName, TZipSource& source) {
    std::string empty = EmptyArchiveBytes();
    if (source.Size() == empty.size()) {
        std::string current(empty.size(), '\0');
        source.ReadAt(0, std::span(reinterpret_cast<uint8_t*>(current.data()), current.size()));
        if (current == empty)
            return;
    }
    TFileDescriptor fd(::open(fileName.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.IsOpen() || ::flock(fd.Get(), LOCK_EX) != 0)
        return;
    if (::ftruncate(fd.Get(), 0) == 0) [[maybe_unused]]
        auto written = ::pwrite(fd.Get(), empty.data(), empty.size(), 0);
}

} // namespace

TZipArchive::TZipArchive() : ExtractOptions(TExtractOption::eoCreateDirs | TExtractOption::eoRestorePath) {}

TZipArchive::~TZipArchive() {
    try {
        Close();
    } catch (...) {
        // A destructor must not throw; closing only releases and best-effort rewrites.
    }
}

void TZipArchive::Open(const std::string& fileName) {
    Close();
    auto state = std::make_unique<TState>();
    state->fileName = fileName;
    state->fd = TFileDescriptor(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (!state->fd.IsOpen())
        throw EInOutError::FromErrno("Cannot open archive", fileName, errno);
    struct stat st {};
    if (::fstat(state->fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw EAbUnhandledType();
    state->source = std::make_unique<TZipFileSource>(state->fd.Get(), fileName);
    Load(std::move(state));
}

void TZipArchive::OpenSource(std::unique_ptr<TZipSource> source) {
    Close();
    auto state = std::make_unique<TState>();
    state->source = std::move(source);
    Load(std::move(state));
}

void TZipArchive::Load(std::unique_ptr<TState> state) {
    TZipNameDecoder names(OemCodePage);
    if (!IsZipArchive(*state->source))
        throw EAbUnhandledType();
    if (!IsFolder(BaseDirectory))
        throw EAbNoSuchDirectory();
    state->directory = ReadZipDirectory(*state->source, names);
    FState = std::move(state);
}

void TZipArchive::ExtractFiles(const std::string& mask) {
    Assert(FState != nullptr, "ZipArchive", "ExtractFiles on a closed archive");
    TZipTargetTree tree(BaseDirectory);
    TZipItemExtractor extractor(
        {ExtractOptions, Password, PasswordRetries, OnConfirmOverwrite, OnNeedPassword}, *FState->source,
        FState->directory, tree);
    for (const TZipItem& item : FState->directory.items) {
        if (!MatchesMask(mask, item.fileName))
            continue;
        try {
            extractor.Extract(item);
        } catch (const EParentFolderError&) {
            tree.ApplyFolderAttributes();
            throw;
        } catch (const std::exception& e) {
            if (OnProcessItemFailure)
                OnProcessItemFailure(item, e);
        }
    }
    tree.ApplyFolderAttributes();
}

void TZipArchive::Close() {
    if (!FState)
        return;
    auto state = std::move(FState);
    if (!state->fileName.empty() && state->directory.items.empty())
        WriteBackEmptyArchive(state->fileName, *state->source);
}

bool TZipArchive::Active() const {
    return FState != nullptr;
}

const std::vector<TZipItem>& TZipArchive::Items() const {
    static const std::vector<TZipItem> none;
    return FState ? FState->directory.items : none;
}

} // namespace kalmora
