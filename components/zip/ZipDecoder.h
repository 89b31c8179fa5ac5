#pragma once

// The one interface every compression method implements, and the table from method number to factory.
// A new method is a new decoder file plus one line in the table.

#include "zip/ZipCodes.h"
#include "zip/ZipEntryInput.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace kalmora {

struct TZipDecoderParams {
    TZipMethod method = TZipMethod::Stored;
    uint16_t generalPurposeBitFlag = 0; // test bits with HasFlag
    uint64_t compressedSize = 0;        // without the encryption header
    uint64_t uncompressedSize = 0;
    uint32_t crc32 = 0; // of the uncompressed data, as the central directory holds it
};

// Pulls compressed bytes from its input and hands out decoded ones. Memory stays within the method's own
// window or model. Errors in the data throw EAbZipDataError (or the source's EInOutError).
class TZipDecoder {
public:
    virtual ~TZipDecoder() = default;
    // Fills out with up to out.size() decoded bytes and returns how many; 0 means the stream has ended.
    // Throws when the compressed data ends before the stream does.
    virtual size_t Decode(std::span<uint8_t> out) = 0;
};

using TZipDecoderFactory = std::unique_ptr<TZipDecoder> (*)(TZipEntryInput& input,
                                                            const TZipDecoderParams& params);

struct TZipMethodInfo {
    TZipMethod method;
    std::string_view name;
    TZipDecoderFactory factory;
};

// The method's entry in the decoder table, or nullptr when it cannot be extracted.
const TZipMethodInfo* FindZipMethod(TZipMethod method);

// The factories of the methods built so far.
std::unique_ptr<TZipDecoder> MakeStoredDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeDeflateDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeBzip2Decoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeLzmaDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeDeflate64Decoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeWavPackDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeShrinkDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeReduceDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
std::unique_ptr<TZipDecoder> MakeImplodeDecoder(TZipEntryInput& input, const TZipDecoderParams& params);
// Only in builds with libarchive (KALMORA_WITH_LIBARCHIVE).
std::unique_ptr<TZipDecoder> MakePpmdDecoder(TZipEntryInput& input, const TZipDecoderParams& params);

} // namespace kalmora
