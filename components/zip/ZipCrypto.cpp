#include "ZipCrypto.h"

#include <array>

namespace kalmora {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> CrcTable = MakeCrcTable();

constexpr uint32_t CrcStep(uint32_t crc, uint8_t b) {
    return CrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

} // namespace

TZipDecrypter::TZipDecrypter(std::string_view password)
    : FKey0(305419896), FKey1(591751049), FKey2(878082192) {
    for (char c : password)
        UpdateKeys(static_cast<uint8_t>(c));
}

void TZipDecrypter::UpdateKeys(uint8_t plain) {
    FKey0 = CrcStep(FKey0, plain);
    FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
    FKey2 = CrcStep(FKey2, static_cast<uint8_t>(FKey1 >> 24));
}

uint8_t TZipDecrypter::KeyStreamByte() const {
    uint32_t temp = (FKey2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void TZipDecrypter::Decrypt(std::span<uint8_t> data) {
    for (uint8_t& b : data) {
        b ^= KeyStreamByte();
        UpdateKeys(b);
    }
}

bool TZipDecrypter::CheckHeader(std::span<const uint8_t, EncryptionHeaderSize> header, uint8_t checkByte) {
    std::array<uint8_t, EncryptionHeaderSize> plain{};
    std::copy(header.begin(), header.end(), plain.begin());
    Decrypt(plain);
    return plain.back() == checkByte;
}

} // namespace kalmora
