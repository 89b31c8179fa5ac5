#include "ZipDecoder.h"

#include <array>

namespace kalmora {

namespace {

constexpr std::array<TZipMethodInfo, 10> DecoderTable{{
    {0, "stored", MakeStoredDecoder},
    {1, "shrunk", MakeShrinkDecoder},
    {2, "reduced with compression factor 1", MakeReduceDecoder},
    {3, "reduced with compression factor 2", MakeReduceDecoder},
    {4, "reduced with compression factor 3", MakeReduceDecoder},
    {5, "reduced with compression factor 4", MakeReduceDecoder},
    {6, "imploded", MakeImplodeDecoder},
    {8, "deflated", MakeDeflateDecoder},
    {12, "BZIP2", MakeBzip2Decoder},
    {14, "LZMA", MakeLzmaDecoder},
}};

} // namespace

const TZipMethodInfo* FindZipMethod(uint16_t method) {
    for (const auto& info : DecoderTable)
        if (info.method == method)
            return &info;
    return nullptr;
}

} // namespace kalmora
