#include "ZipDecoder.h"

#include <array>

namespace kalmora {

namespace {

constexpr std::array<TZipMethodInfo, 4> DecoderTable{{
    {0, "stored", MakeStoredDecoder},
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
