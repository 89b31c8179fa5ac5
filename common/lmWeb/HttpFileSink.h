#pragma once

// The work file of HttpGetFile: created (or truncated) when constructed, written block by block, renamed over
// the target once the transfer succeeded.

#include "fs/FileSystem.h"
#include "lmWeb.h"

#include <string>
#include <vector>

namespace kalmora {

class THttpFileSink : public IHttpSink {
public:
    // Raises EInOutError when the file cannot be created, is a symbolic link or is in use by another
    // transfer.
    explicit THttpFileSink(std::string workFile);
    ~THttpFileSink() override;
    THttpFileSink(const THttpFileSink&) = delete;
    THttpFileSink& operator=(const THttpFileSink&) = delete;

    // Data goes out in whole buffers, so that the file is written at page-aligned offsets.
    void Write(const char* data, std::size_t size) override;
    // Writes out what is buffered and closes; raises EInOutError when the data cannot be written completely.
    void Close();
    // Closes after a failed transfer: keeps what arrived, raises nothing.
    void Abandon() noexcept;
    // One atomic rename: the target holds either its old content or the whole new body.
    void CommitAs(const std::string& target);

private:
    void WriteOut(const char* data, std::size_t size);

    std::string FWorkFile;
    fs::TFileDescriptor FHandle;
    std::vector<char> FBuffer;
    std::size_t FUsed = 0;
};

} // namespace kalmora
