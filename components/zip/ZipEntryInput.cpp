#include "ZipEntryInput.h"

#include "ZipErrors.h"

#include <algorithm>
#include <cstring>

namespace kalmora {

TZipEntryInput::TZipEntryInput(TZipSource& source, size_t blockSize) : FSource(source), FBuffer(blockSize) {}

void TZipEntryInput::Reset(uint64_t start, uint64_t length, size_t firstRead) {
    FBegin = FEnd = FPlainEnd = 0;
    FNextReadSize = std::clamp<size_t>(firstRead, 1, FBuffer.size());
    FNextRead = start;
    FRemaining = length;
    FDecrypter.reset();
}

void TZipEntryInput::Limit(uint64_t length) {
    FRemaining = length;
    // Bytes read ahead beyond the new window are dropped and the source position moves back to match.
    uint64_t buffered = FEnd - FBegin;
    if (buffered > length) {
        FEnd = FBegin + static_cast<size_t>(length);
        FNextRead -= buffered - length;
    }
    FPlainEnd = std::min(FPlainEnd, FEnd);
}

void TZipEntryInput::SetDecrypter(std::unique_ptr<TZipDecrypter> decrypter) {
    FDecrypter = std::move(decrypter);
    FPlainEnd = FBegin;
}

std::span<const uint8_t> TZipEntryInput::Peek() {
    if (FBegin == FEnd) {
        FBegin = FEnd = FPlainEnd = 0;
        size_t want = static_cast<size_t>(std::min<uint64_t>(FNextReadSize, FRemaining));
        FNextReadSize = FBuffer.size();
        if (want == 0)
            return {};
        size_t got = FSource.ReadAt(FNextRead, std::span(FBuffer).first(want));
        if (got == 0)
            throw EAbZipDataError("Unexpected end of archive in entry data at offset " +
                                  std::to_string(FNextRead));
        FNextRead += got;
        FEnd = got;
    }
    if (FDecrypter && FPlainEnd < FEnd) {
        FDecrypter->Decrypt(std::span(FBuffer).subspan(FPlainEnd, FEnd - FPlainEnd));
        FPlainEnd = FEnd;
    }
    size_t available = static_cast<size_t>(std::min<uint64_t>(FEnd - FBegin, FRemaining));
    return std::span<const uint8_t>(FBuffer).subspan(FBegin, available);
}

void TZipEntryInput::Consume(size_t count) {
    FBegin += count;
    FRemaining -= count;
    FPlainEnd = std::max(FPlainEnd, FBegin);
}

void TZipEntryInput::Skip(uint64_t count, const char* what) {
    while (count > 0) {
        auto part = Peek();
        if (part.empty())
            throw EAbZipDataError(std::string("Unexpected end of entry data in ") + what);
        size_t n = static_cast<size_t>(std::min<uint64_t>(part.size(), count));
        Consume(n);
        count -= n;
    }
}

void TZipEntryInput::ReadExact(std::span<uint8_t> out, const char* what) {
    size_t done = 0;
    while (done < out.size()) {
        auto part = Peek();
        if (part.empty())
            throw EAbZipDataError(std::string("Unexpected end of entry data in ") + what);
        size_t n = std::min(part.size(), out.size() - done);
        std::memcpy(out.data() + done, part.data(), n);
        Consume(n);
        done += n;
    }
}

} // namespace kalmora
