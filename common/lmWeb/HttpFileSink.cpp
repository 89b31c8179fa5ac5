#include "HttpFileSink.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kalmora {

THttpFileSink::THttpFileSink(std::string workFile) : FWorkFile(std::move(workFile)) {
    // Not truncated on open: another transfer that holds the lock keeps its data. No link is followed, so
    // a planted link cannot redirect the download outside its folder.
    FHandle = ::open(FWorkFile.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (FHandle < 0)
        throw EInOutError::FromErrno("Cannot create", FWorkFile, errno);
    if (::flock(FHandle, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(FHandle, 0) != 0) {
        int error = errno;
        ::close(FHandle);
        FHandle = -1;
        throw EInOutError::FromErrno("Cannot create", FWorkFile, error);
    }
}

THttpFileSink::~THttpFileSink() {
    if (FHandle >= 0)
        ::close(FHandle);
}

void THttpFileSink::Write(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(FHandle, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError::FromErrno("Cannot write", FWorkFile, errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void THttpFileSink::Close() {
    int handle = FHandle;
    FHandle = -1;
    if (handle >= 0 && ::close(handle) != 0)
        throw EInOutError::FromErrno("Cannot write", FWorkFile, errno);
}

void THttpFileSink::CommitAs(const std::string& target) {
    if (std::rename(FWorkFile.c_str(), target.c_str()) != 0)
        throw EInOutError::FromErrno("Cannot rename " + FWorkFile + " to", target, errno);
}

} // namespace kalmora
