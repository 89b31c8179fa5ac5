#pragma once

// Where the reader takes the archive's bytes from: an open file for extraction, a memory block for tests and
// the fuzzer. Reads are positional, so one source serves the directory reader and every entry.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kalmora {

class TZipSource {
public:
    virtual ~TZipSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads up to buffer.size() bytes at offset; returns fewer only at the end of the source.
    // Throws EInOutError when the read fails.
    virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> buffer) = 0;
};

// Reads through a file descriptor it does not own.
class TZipFileSource : public TZipSource {
public:
    TZipFileSource(int fd, std::string fileName);
    uint64_t Size() const override { return FSize; }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> buffer) override;

private:
    int FFd;
    std::string FFileName;
    uint64_t FSize = 0;
};

class TZipMemorySource : public TZipSource {
public:
    explicit TZipMemorySource(std::span<const uint8_t> data) : FData(data) {}
    uint64_t Size() const override { return FData.size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> buffer) override;

private:
    std::span<const uint8_t> FData;
};

// Reads exactly buffer.size() bytes or throws EAbZipDataError naming what was cut short.
void ReadExactAt(TZipSource& source, uint64_t offset, std::span<uint8_t> buffer, const char* what);

} // namespace kalmora
