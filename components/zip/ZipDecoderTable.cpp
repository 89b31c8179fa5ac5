#include "ZipDecoder.h"

#include <array>

namespace kalmora {

namespace {

constexpr std::array<TZipMethodInfo, 6> DecoderTable{{
    {0, "stored", MakeStoredDecoder},
    {8, "deflated", MakeDeflateDecoder},
    {9, "Deflate64", MakeDeflate64Decoder},
    {12, "BZIP2", MakeBzip2Decoder},
    {14, "LZMA", MakeLzmaDecoder},
    {97, "WavPack", MakeWavPackDecoder},
}};

} // namespace

const TZipMethodInfo* FindZipMethod(uint16_t method) {
    for (const auto& info : DecoderTable)
        if (info.method == method)
            return &info;
    return nullptr;
}

} // namespace kalmora
