#pragma once

// The work file of HttpGetFile: created (or truncated) when constructed, written block by block, renamed over
// the target once the transfer succeeded.

#include "lmWeb.h"

#include <string>

namespace kalmora {

class THttpFileSink : public IHttpSink {
public:
    // Raises EInOutError when the file cannot be created, is a symbolic link or is in use by another
    // transfer.
    explicit THttpFileSink(std::string workFile);
    ~THttpFileSink() override;
    THttpFileSink(const THttpFileSink&) = delete;
    THttpFileSink& operator=(const THttpFileSink&) = delete;

    void Write(const char* data, std::size_t size) override;
    // Raises EInOutError when the data cannot be written out completely.
    void Close();
    // One atomic rename: the target holds either its old content or the whole new body.
    void CommitAs(const std::string& target);

private:
    std::string FWorkFile;
    int FHandle = -1;
};

} // namespace kalmora
