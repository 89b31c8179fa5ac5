#include "Sha256.h"

#include "fs/FileSystem.h"
#include "runtime/Exceptions.h"

#include <cerrno>
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

namespace kalmora {

struct TSha256::TContext {
    ~TContext() { EVP_MD_CTX_free(Context); }
    EVP_MD_CTX* Context = nullptr;
};

TSha256::TSha256() : FContext(std::make_unique<TContext>()) {
    FContext->Context = EVP_MD_CTX_new();
    if (!FContext->Context || EVP_DigestInit_ex(FContext->Context, EVP_sha256(), nullptr) != 1)
        throw Exception("libcrypto cannot compute SHA-256");
}

TSha256::~TSha256() = default;

void TSha256::Update(const void* data, std::size_t size) {
    if (EVP_DigestUpdate(FContext->Context, data, size) != 1)
        throw Exception("libcrypto cannot compute SHA-256");
}

TSha256Digest TSha256::Final() {
    TSha256Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(FContext->Context, digest.data(), &size) != 1 || size != digest.size())
        throw Exception("libcrypto cannot compute SHA-256");
    return digest;
}

std::string HexText(const std::uint8_t* bytes, std::size_t size) {
    constexpr std::string_view digits = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

std::string Sha256OfFile(const std::string& path) {
    const fs::TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        throw EInOutError::FromErrno("Cannot open", path, errno);
    TSha256 hash;
    if (int error =
            fs::ReadInBlocks(file.Get(), [&hash](const char* data, size_t size) { hash.Update(data, size); }))
        throw EInOutError::FromErrno("Cannot read", path, error);
    return HexText(hash.Final());
}

} // namespace kalmora
