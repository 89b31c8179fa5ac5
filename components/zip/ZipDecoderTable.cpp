#include "ZipDecoder.h"

namespace kalmora {

namespace {

constexpr TZipMethodInfo DecoderTable[] = {
    {TZipMethod::Stored, "stored", MakeStoredDecoder},
    {TZipMethod::Deflated, "deflated", MakeDeflateDecoder},
    {TZipMethod::Deflate64, "Deflate64", MakeDeflate64Decoder},
    {TZipMethod::Bzip2, "BZIP2", MakeBzip2Decoder},
    {TZipMethod::Lzma, "LZMA", MakeLzmaDecoder},
    {TZipMethod::WavPack, "WavPack", MakeWavPackDecoder},
};

} // namespace

const TZipMethodInfo* FindZipMethod(TZipMethod method) {
    for (const auto& info : DecoderTable)
        if (info.method == method)
            return &info;
    return nullptr;
}

} // namespace kalmora
