#include "PpmdParameters.h"
#include "ZipDecoder.h"
#include "ZipErrors.h"
#include "ZipRecords.h"

#include <archive.h>
#include <archive_entry.h>
#include <array>
#include <cctype>
#include <cerrno>
#include <exception>
#include <utility>

namespace kalmora {

namespace {

// Method 98 is decoded by libarchive's ZIP reader, which offers no interface for a bare PPMd stream. It is
// handed a one-entry archive made up here: a local header of ours, then the entry's data exactly as the
// entry input delivers it (decrypted already, so libarchive never sees an encryption flag). It reads that
// stream through our callback only; it never touches a file.

constexpr std::string_view EntryName = "e";

void PutLittleEndian(std::string& out, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// Sizes and CRC-32 are the entry's own, so libarchive checks the data against them as it decodes.
std::string LocalHeaderFor(const TZipDecoderParams& params) {
    bool zip64 = params.compressedSize >= UINT32_MAX || params.uncompressedSize >= UINT32_MAX;
    std::string header;
    PutLittleEndian(header, LocalFileHeaderSignature, 4);
    PutLittleEndian(header, 63, 2); // version needed to extract: 6.3 brought PPMd
    PutLittleEndian(header, 0, 2);  // no encryption, no data descriptor
    PutLittleEndian(header, static_cast<uint16_t>(TZipMethod::Ppmd), 2);
    PutLittleEndian(header, 0, 4); // time and date
    PutLittleEndian(header, params.crc32, 4);
    PutLittleEndian(header, zip64 ? UINT32_MAX : params.compressedSize, 4);
    PutLittleEndian(header, zip64 ? UINT32_MAX : params.uncompressedSize, 4);
    PutLittleEndian(header, EntryName.size(), 2);
    PutLittleEndian(header, zip64 ? 20 : 0, 2);
    header += EntryName;
    if (zip64) {
        PutLittleEndian(header, Zip64ExtraFieldId, 2);
        PutLittleEndian(header, 16, 2);
        PutLittleEndian(header, params.uncompressedSize, 8);
        PutLittleEndian(header, params.compressedSize, 8);
    }
    return header;
}

std::string ArchiveErrorText(archive* reader, la_ssize_t status) {
    const char* text = archive_error_string(reader);
    std::string detail = text ? text : "libarchive status " + std::to_string(status);
    // Some of its texts end in a line break; the failure is reported as one line.
    while (!detail.empty() && std::isspace(static_cast<unsigned char>(detail.back())))
        detail.pop_back();
    if (archive_errno(reader) == ENOMEM)
        return "Not enough memory for the PPMd model: " + detail;
    return "Corrupt PPMd data: " + detail;
}

struct TArchiveReadFree {
    void operator()(archive* reader) const { archive_read_free(reader); }
};

class TPpmdDecoder : public TZipDecoder {
public:
    TPpmdDecoder(TZipEntryInput& input, const TZipDecoderParams& params) : FInput(input) {
        // Checked here, before libarchive allocates the model the word asks for.
        std::array<uint8_t, 2> word{};
        FInput.ReadExact(word, "PPMd parameters");
        CheckPpmdParameters(static_cast<uint16_t>(word[0] | word[1] << 8), PhysicalMemory());
        FHead = LocalHeaderFor(params);
        FHead.append(word.begin(), word.end());

        FReader.reset(archive_read_new());
        if (!FReader)
            throw EAbZipDataError("Not enough memory for the PPMd decoder");
        archive* reader = FReader.get();
        Check(archive_read_support_format_zip_streamable(reader));
        Check(archive_read_open(reader, this, nullptr, &Read, nullptr));
        archive_entry* entry = nullptr;
        Check(archive_read_next_header(reader, &entry));
    }
    TPpmdDecoder(const TPpmdDecoder&) = delete;
    TPpmdDecoder& operator=(const TPpmdDecoder&) = delete;

    size_t Decode(std::span<uint8_t> out) override {
        if (FEnded || out.empty())
            return 0;
        la_ssize_t n = archive_read_data(FReader.get(), out.data(), out.size());
        if (n < 0)
            Fail(n);
        FEnded = n == 0;
        return static_cast<size_t>(n);
    }

private:
    // A warning on opening (nothing in our own header should cause one) does not stop the entry; a
    // warning on the data does, since it withholds the bytes it was about.
    void Check(int status) {
        if (status < ARCHIVE_WARN)
            Fail(status);
    }

    [[noreturn]] void Fail(la_ssize_t status) {
        if (FReadError)
            std::rethrow_exception(std::exchange(FReadError, nullptr));
        throw EAbZipDataError(ArchiveErrorText(FReader.get(), status));
    }

    static la_ssize_t Read(archive* reader, void* self, const void** buffer) {
        return static_cast<TPpmdDecoder*>(self)->NextBlock(reader, buffer);
    }

    // libarchive asks again only when it is done with the block it has, so that block is consumed now.
    // No exception may cross libarchive: a read error is kept and raised once its call has returned.
    la_ssize_t NextBlock(archive* reader, const void** buffer) {
        try {
            FInput.Consume(std::exchange(FHandedOut, 0));
            if (!FHeadSent) {
                FHeadSent = true;
                *buffer = FHead.data();
                return static_cast<la_ssize_t>(FHead.size());
            }
            auto block = FInput.Peek();
            FHandedOut = block.size();
            *buffer = block.data();
            return static_cast<la_ssize_t>(block.size());
        } catch (...) {
            FReadError = std::current_exception();
            archive_set_error(reader, EIO, "reading the entry's data failed");
            return -1;
        }
    }

    TZipEntryInput& FInput;
    std::string FHead;
    bool FHeadSent = false;
    size_t FHandedOut = 0;
    std::exception_ptr FReadError;
    std::unique_ptr<archive, TArchiveReadFree> FReader;
    bool FEnded = false;
};

} // namespace

std::unique_ptr<TZipDecoder> MakePpmdDecoder(TZipEntryInput& input, const TZipDecoderParams& params) {
    return std::make_unique<TPpmdDecoder>(input, params);
}

} // namespace kalmora
