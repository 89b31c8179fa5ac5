#include "Minisign.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <openssl/evp.h>
#include <optional>

namespace kalmora {
namespace {

constexpr std::string_view UntrustedPrefix = "untrusted comment: ";
constexpr std::string_view TrustedPrefix = "trusted comment: ";
constexpr std::string_view KeyAlgorithm = "Ed";
constexpr std::string_view HashedAlgorithm = "ED";
constexpr std::string_view PlainAlgorithm = "Ed";
constexpr std::size_t AlgorithmSize = 2;
constexpr std::size_t KeyIdSize = 8;
constexpr std::size_t SignatureSize = 64;
constexpr std::size_t Blake2b512Size = 64;

struct EvpKeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct EvpContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

bool IsBase64Letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

// Padded base64 of the standard alphabet and nothing else (libcrypto's decoder alone would skip blanks).
std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0)
        return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=')
        ++padding;
    for (std::size_t i = 0; i < text.size() - padding; ++i)
        if (!IsBase64Letter(text[i]))
            return std::nullopt;
    std::string bytes(text.size() / 4 * 3, '\0');
    int size =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (size < 0 || static_cast<std::size_t>(size) != bytes.size())
        return std::nullopt;
    bytes.resize(bytes.size() - padding);
    return bytes;
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

[[noreturn]] void Malformed(int line, const std::string& what) {
    throw ESignatureError("malformed line " + std::to_string(line) + ": " + what);
}

// The four lines of a signature file; a final line break and blank lines after the last are allowed.
std::array<std::string_view, 4> SplitLines(std::string_view file) {
    std::array<std::string_view, 4> lines;
    for (int i = 0; i < 4; ++i) {
        if (file.empty())
            Malformed(i + 1, "missing");
        auto end = file.find('\n');
        std::string_view line = file.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines[i] = line;
        file = end == std::string_view::npos ? std::string_view() : file.substr(end + 1);
    }
    if (!TrimBlanks(file).empty())
        Malformed(5, "text after the comment signature");
    return lines;
}

bool VerifyEd25519(const TMinisignKey& key, const std::uint8_t* signature, std::string_view message) {
    std::unique_ptr<EVP_PKEY, EvpKeyDeleter> publicKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.PublicKey.data(), key.PublicKey.size()));
    std::unique_ptr<EVP_MD_CTX, EvpContextDeleter> context(EVP_MD_CTX_new());
    if (!publicKey || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) != 1)
        throw Exception("libcrypto cannot check an Ed25519 signature");
    return EVP_DigestVerify(context.get(), signature, SignatureSize,
                            reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}

std::string Blake2b512(std::string_view message) {
    std::string digest(Blake2b512Size, '\0');
    unsigned int size = 0;
    if (EVP_Digest(message.data(), message.size(), reinterpret_cast<unsigned char*>(digest.data()), &size,
                   EVP_blake2b512(), nullptr) != 1 ||
        size != Blake2b512Size)
        throw Exception("libcrypto cannot compute BLAKE2b-512");
    return digest;
}

} // namespace

std::string MinisignKeyIdText(const TMinisignKeyId& keyId) {
    std::string text;
    char digits[3];
    for (auto at = keyId.rbegin(); at != keyId.rend(); ++at) {
        std::snprintf(digits, sizeof digits, "%02X", *at);
        text += digits;
    }
    return text;
}

TMinisignKey ParseMinisignKey(std::string_view text) {
    auto bytes = DecodeBase64(TrimBlanks(text));
    if (!bytes)
        throw ESignatureError("not a minisign public key: not base64");
    if (bytes->size() != AlgorithmSize + KeyIdSize + 32)
        throw ESignatureError("not a minisign public key: " + std::to_string(bytes->size()) +
                              " bytes instead of 42");
    if (std::string_view(*bytes).substr(0, AlgorithmSize) != KeyAlgorithm)
        throw ESignatureError("not a minisign public key: not an Ed25519 key");
    TMinisignKey key;
    std::copy_n(bytes->begin() + AlgorithmSize, KeyIdSize, key.KeyId.begin());
    std::copy_n(bytes->begin() + AlgorithmSize + KeyIdSize, key.PublicKey.size(), key.PublicKey.begin());
    return key;
}

TMinisignVerified VerifyMinisign(std::string_view message, std::string_view signatureFile,
                                 const std::vector<TMinisignKey>& keys) {
    const auto lines = SplitLines(signatureFile);
    if (!lines[0].starts_with(UntrustedPrefix))
        Malformed(1, "no \"untrusted comment: \"");
    auto signatureLine = DecodeBase64(lines[1]);
    if (!signatureLine)
        Malformed(2, "not base64");
    if (signatureLine->size() != AlgorithmSize + KeyIdSize + SignatureSize)
        Malformed(2, std::to_string(signatureLine->size()) + " bytes instead of 74");
    const std::string_view algorithm = std::string_view(*signatureLine).substr(0, AlgorithmSize);
    if (algorithm != HashedAlgorithm && algorithm != PlainAlgorithm)
        Malformed(2, "unknown signature algorithm");
    if (!lines[2].starts_with(TrustedPrefix))
        Malformed(3, "no \"trusted comment: \"");
    const std::string_view trustedComment = lines[2].substr(TrustedPrefix.size());
    auto globalSignature = DecodeBase64(lines[3]);
    if (!globalSignature)
        Malformed(4, "not base64");
    if (globalSignature->size() != SignatureSize)
        Malformed(4, std::to_string(globalSignature->size()) + " bytes instead of 64");

    TMinisignVerified result;
    std::copy_n(signatureLine->begin() + AlgorithmSize, KeyIdSize, result.KeyId.begin());
    const TMinisignKey* key = nullptr;
    for (const auto& candidate : keys)
        if (!key && candidate.KeyId == result.KeyId)
            key = &candidate;
    if (!key)
        throw ESignatureError("unknown key id " + MinisignKeyIdText(result.KeyId));

    const auto* signature =
        reinterpret_cast<const std::uint8_t*>(signatureLine->data()) + AlgorithmSize + KeyIdSize;
    const bool valid = algorithm == HashedAlgorithm ? VerifyEd25519(*key, signature, Blake2b512(message))
                                                    : VerifyEd25519(*key, signature, message);
    if (!valid)
        throw ESignatureError("bad signature");
    std::string signedComment(reinterpret_cast<const char*>(signature), SignatureSize);
    signedComment += trustedComment;
    if (!VerifyEd25519(*key, reinterpret_cast<const std::uint8_t*>(globalSignature->data()), signedComment))
        throw ESignatureError("bad comment signature");
    result.TrustedComment = std::string(trustedComment);
    return result;
}

} // namespace kalmora
