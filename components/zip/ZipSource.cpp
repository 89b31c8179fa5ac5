#include "ZipSource.h"

#include "ZipErrors.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora {

TZipFileSource::TZipFileSource(int fd, std::string fileName) : FFd(fd), FFileName(std::move(fileName)) {
    struct stat st {};
    if (fstat(FFd, &st) != 0)
        throw EInOutError::FromErrno("Cannot read", FFileName, errno);
    FSize = static_cast<uint64_t>(st.st_size);
}

size_t TZipFileSource::ReadAt(uint64_t offset, std::span<uint8_t> buffer) {
    size_t done = 0;
    while (done < buffer.size()) {
        ssize_t n = pread(FFd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError::FromErrno("Cannot read", FFileName, errno);
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t TZipMemorySource::ReadAt(uint64_t offset, std::span<uint8_t> buffer) {
    if (buffer.empty() || offset >= FData.size())
        return 0;
    size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), FData.size() - offset));
    std::memcpy(buffer.data(), FData.data() + offset, n);
    return n;
}

void ReadExactAt(TZipSource& source, uint64_t offset, std::span<uint8_t> buffer, const char* what) {
    if (source.ReadAt(offset, buffer) != buffer.size())
        throw EAbZipDataError(std::string("Unexpected end of archive in ") + what + " at offset " +
                              std::to_string(offset));
}

} // namespace kalmora
