#pragma once

// The compressed bytes of one entry, read from the archive in blocks and decrypted as they are handed out.
// Decoders pull from it; it never hands out a byte beyond the window it was given.

#include "zip/ZipCrypto.h"
#include "zip/ZipSource.h"

#include <memory>
#include <span>
#include <vector>

namespace kalmora {

class TZipEntryInput {
public:
    TZipEntryInput(TZipSource& source, size_t blockSize);

    // Serves the bytes [start, start + length) of the source. The first read fetches at most firstRead
    // bytes, so a small entry costs one small read.
    void Reset(uint64_t start, uint64_t length, size_t firstRead);
    // Keeps the current position and limits what is left to length bytes (from the start of the data on,
    // after the local header was read with a generous first window).
    void Limit(uint64_t length);
    // From now on bytes are decrypted before they are handed out.
    void SetDecrypter(std::unique_ptr<TZipDecrypter> decrypter);

    // The bytes available at the current position, reading the next block when none are buffered; empty
    // only at the end of the window.
    std::span<const uint8_t> Peek();
    void Consume(size_t count);
    // Consumes count bytes, reading as needed; throws EAbZipDataError when the window is shorter.
    void Skip(uint64_t count, const char* what);
    // Copies exactly out.size() bytes or throws EAbZipDataError naming what was cut short.
    void ReadExact(std::span<uint8_t> out, const char* what);
    uint64_t Remaining() const { return FRemaining; }

private:
    TZipSource& FSource;
    std::vector<uint8_t> FBuffer;
    size_t FBegin = 0;       // first unconsumed byte in FBuffer
    size_t FEnd = 0;         // end of the bytes read into FBuffer
    size_t FPlainEnd = 0;    // bytes before this index are decrypted already
    uint64_t FNextRead = 0;  // source offset of the byte after FEnd
    uint64_t FRemaining = 0; // bytes of the window not consumed yet
    size_t FNextReadSize = 0;
    std::unique_ptr<TZipDecrypter> FDecrypter;
};

} // namespace kalmora
