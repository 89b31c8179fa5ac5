#pragma once

// The SHA-256 and size a manifest gives for a kind's package, checked while the package streams in: one
// byte beyond the size ends the transfer at once, so an endless answer cannot fill the disk.

#include "lmSignature/Sha256.h"
#include "lmWeb/lmWeb.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kalmora {

struct TPackageDigest {
    std::string Sha256; // 64 lower-case hex digits; empty when the manifest gives none
    std::optional<std::uint64_t> Size;
    bool Any() const { return !Sha256.empty() || Size.has_value(); }
};

// A package that is not what its manifest says, or a manifest whose sha256 or size is malformed.
class EPackageCheckError : public Exception {
public:
    using Exception::Exception;
    std::string_view ClassName() const noexcept override { return "EPackageCheckError"; }
};

// From the texts of the manifest's "sha256" (64 hex digits, either case) and "size" (decimal bytes)
// elements; an empty text means the element is not given. Raises EPackageCheckError for a malformed one.
TPackageDigest ParsePackageDigest(std::string_view sha256, std::string_view size);

class TPackageCheck : public IHttpBodyCheck {
public:
    explicit TPackageCheck(TPackageDigest expected);
    // Raises EPackageCheckError, before it is taken, for a block that goes beyond the expected size.
    void Block(const char* data, std::size_t size) override;
    // Raises EPackageCheckError naming both values when the length or the SHA-256 differ.
    void Complete() override;

private:
    TPackageDigest FExpected;
    // Hashes beside the transfer, which mostly waits for the network; only made when a SHA-256 is expected.
    std::unique_ptr<TBackgroundSha256> FHash;
    std::uint64_t FReceived = 0;
};

// The same check over a whole file. Raises EPackageCheckError, or EInOutError when it cannot be read.
void CheckPackageFile(const std::string& path, const TPackageDigest& expected);

} // namespace kalmora
