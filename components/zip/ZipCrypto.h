#pragma once

// Traditional PKWARE encryption: the three-key stream cipher keyed from the password.

#include <cstdint>
#include <span>
#include <string_view>

namespace kalmora {

inline constexpr size_t EncryptionHeaderSize = 12;

class TZipDecrypter {
public:
    explicit TZipDecrypter(std::string_view password);
    void Decrypt(std::span<uint8_t> data);
    // Decrypts the 12-byte encryption header and compares its last byte with checkByte (the CRC's high byte,
    // or the modification time's high byte for entries with a data descriptor). On success the keys stand
    // ready for the entry's data.
    bool CheckHeader(std::span<const uint8_t, EncryptionHeaderSize> header, uint8_t checkByte);

private:
    void UpdateKeys(uint8_t plain);
    uint8_t KeyStreamByte() const;
    uint32_t FKey0, FKey1, FKey2;
};

} // namespace kalmora
