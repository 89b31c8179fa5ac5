#include "ZipCrc32.h"

#include <algorithm>
#include <climits>

#ifdef KALMORA_WITH_ISAL
#include <isa-l/crc.h>
#else
#include <zlib.h>
#endif

namespace kalmora {

uint32_t UpdateZipCrc32(uint32_t crc, std::span<const uint8_t> data) {
    // Both libraries count in 32-bit lengths.
    while (!data.empty()) {
        size_t n = std::min<size_t>(data.size(), UINT_MAX / 2);
#ifdef KALMORA_WITH_ISAL
        crc = crc32_gzip_refl(crc, data.data(), n);
#else
        crc = static_cast<uint32_t>(crc32(crc, data.data(), static_cast<uInt>(n)));
#endif
        data = data.subspan(n);
    }
    return crc;
}

} // namespace kalmora
