#include "HttpFileSink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {

namespace {

// Small page-aligned writes keep pace with the kernel's dirty-page throttling better than large ones.
constexpr std::size_t WriteBufferSize = 16 * 1024;

} // namespace

THttpFileSink::THttpFileSink(std::string workFile)
    : FWorkFile(std::move(workFile)), FBuffer(WriteBufferSize) {
    // Not truncated on open: another transfer that holds the lock keeps its data. No link is followed, so
    // a planted link cannot redirect the download outside its folder.
    FHandle.Reset(::open(FWorkFile.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!FHandle.IsOpen())
        throw EInOutError::FromErrno("Cannot create", FWorkFile, errno);
    // A truncation to zero makes some file systems flush the whole file when it is closed, so an empty
    // (new) file is left alone.
    struct stat info {};
    if (::flock(FHandle.Get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(FHandle.Get(), &info) != 0 ||
        (info.st_size > 0 && ::ftruncate(FHandle.Get(), 0) != 0))
        throw EInOutError::FromErrno("Cannot create", FWorkFile, errno);
}

THttpFileSink::~THttpFileSink() = default;

void THttpFileSink::Write(const char* data, std::size_t size) {
    while (size > 0) {
        if (FUsed == 0 && size >= FBuffer.size()) {
            std::size_t whole = size - size % FBuffer.size();
            WriteOut(data, whole);
            data += whole;
            size -= whole;
            continue;
        }
        std::size_t n = std::min(size, FBuffer.size() - FUsed);
        std::memcpy(FBuffer.data() + FUsed, data, n);
        FUsed += n;
        data += n;
        size -= n;
        if (FUsed == FBuffer.size()) {
            FUsed = 0;
            WriteOut(FBuffer.data(), FBuffer.size());
        }
    }
}

void THttpFileSink::WriteOut(const char* data, std::size_t size) {
    if (int error = fs::WriteAll(FHandle.Get(), data, size))
        throw EInOutError::FromErrno("Cannot write", FWorkFile, error);
}

void THttpFileSink::Close() {
    if (!FHandle.IsOpen())
        return;
    std::size_t used = FUsed;
    FUsed = 0;
    WriteOut(FBuffer.data(), used);
    if (int error = FHandle.Close())
        throw EInOutError::FromErrno("Cannot write", FWorkFile, error);
}

void THttpFileSink::Abandon() noexcept {
    if (!FHandle.IsOpen())
        return;
    try {
        std::size_t used = FUsed;
        FUsed = 0;
        WriteOut(FBuffer.data(), used);
    } catch (...) {
        // The transfer has failed already; its own error is the one that counts.
    }
    FHandle.Reset();
}

void THttpFileSink::CommitAs(const std::string& target) {
    if (std::rename(FWorkFile.c_str(), target.c_str()) != 0)
        throw EInOutError::FromErrno("Cannot rename " + FWorkFile + " to", target, errno);
}

} // namespace kalmora
