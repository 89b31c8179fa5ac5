#include "ZipDecoder.h"

namespace kalmora {

namespace {

constexpr TZipMethodInfo DecoderTable[] = {
    {TZipMethod::Stored, "stored", MakeStoredDecoder},
    {TZipMethod::Shrunk, "shrunk", MakeShrinkDecoder},
    {TZipMethod::Reduced1, "reduced with compression factor 1", MakeReduceDecoder},
    {TZipMethod::Reduced2, "reduced with compression factor 2", MakeReduceDecoder},
    {TZipMethod::Reduced3, "reduced with compression factor 3", MakeReduceDecoder},
    {TZipMethod::Reduced4, "reduced with compression factor 4", MakeReduceDecoder},
    {TZipMethod::Imploded, "imploded", MakeImplodeDecoder},
    {TZipMethod::Deflated, "deflated", MakeDeflateDecoder},
    {TZipMethod::Deflate64, "Deflate64", MakeDeflate64Decoder},
    {TZipMethod::Bzip2, "BZIP2", MakeBzip2Decoder},
    {TZipMethod::Lzma, "LZMA", MakeLzmaDecoder},
    {TZipMethod::WavPack, "WavPack", MakeWavPackDecoder},
#if KALMORA_WITH_LIBARCHIVE
    {TZipMethod::Ppmd, "PPMd", MakePpmdDecoder},
#endif
};

} // namespace

const TZipMethodInfo* FindZipMethod(TZipMethod method) {
    for (const auto& info : DecoderTable)
        if (info.method == method)
            return &info;
    return nullptr;
}

} // namespace kalmora
