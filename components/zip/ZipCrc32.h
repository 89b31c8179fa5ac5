#pragma once

// The CRC-32 of ZIP entries (the reflected IEEE polynomial, as gzip and zlib compute it), on ISA-L's
// carry-less multiplication where it is built in and on zlib otherwise.

#include <cstdint>
#include <span>

namespace kalmora {

// Continues crc (0 for the start) over data.
uint32_t UpdateZipCrc32(uint32_t crc, std::span<const uint8_t> data);

} // namespace kalmora
