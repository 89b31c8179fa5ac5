#include "PackageCheck.h"

#include "fs/FileSystem.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace kalmora {
namespace {

constexpr std::size_t Sha256Digits = 64;

char LowerHex(char c) {
    if (c >= 'A' && c <= 'F')
        return static_cast<char>(c - 'A' + 'a');
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ? c : '\0';
}

} // namespace

TPackageDigest ParsePackageDigest(std::string_view sha256, std::string_view size) {
    TPackageDigest digest;
    if (!sha256.empty()) {
        for (char c : sha256)
            digest.Sha256 += LowerHex(c);
        if (sha256.size() != Sha256Digits || digest.Sha256.find('\0') != std::string::npos)
            throw EPackageCheckError("sha256 is not 64 hexadecimal digits: " + std::string(sha256));
    }
    if (!size.empty()) {
        std::uint64_t bytes = 0;
        auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), bytes);
        if (error != std::errc() || end != size.data() + size.size() || size.front() == '-' ||
            size.front() == '+')
            throw EPackageCheckError("size is not a decimal number of bytes: " + std::string(size));
        digest.Size = bytes;
    }
    return digest;
}

TPackageCheck::TPackageCheck(TPackageDigest expected)
    : FExpected(std::move(expected)),
      FHash(FExpected.Sha256.empty() ? nullptr : std::make_unique<TBackgroundSha256>()) {}

void TPackageCheck::Block(const char* data, std::size_t size) {
    if (FExpected.Size && size > *FExpected.Size - FReceived)
        throw EPackageCheckError("more than the " + std::to_string(*FExpected.Size) +
                                 " bytes the manifest gives as its size");
    FReceived += size;
    if (FHash)
        FHash->Update(data, size);
}

void TPackageCheck::Complete() {
    if (FExpected.Size && FReceived != *FExpected.Size)
        throw EPackageCheckError("size " + std::to_string(FReceived) + " bytes, the manifest gives " +
                                 std::to_string(*FExpected.Size));
    if (!FHash)
        return;
    const std::string actual = HexText(FHash->Final());
    if (actual != FExpected.Sha256)
        throw EPackageCheckError("SHA-256 " + actual + ", the manifest gives " + FExpected.Sha256);
}

void CheckPackageFile(const std::string& path, const TPackageDigest& expected) {
    const fs::TFileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        throw EInOutError::FromErrno("Cannot open", path, errno);
    TPackageCheck check(expected);
    if (int error = fs::ReadInBlocks(file.Get(),
                                     [&check](const char* data, size_t size) { check.Block(data, size); }))
        throw EInOutError::FromErrno("Cannot read", path, error);
    check.Complete();
}

} // namespace kalmora
