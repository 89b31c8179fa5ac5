#pragma once

// SHA-256 from libcrypto, fed piece by piece (it uses the CPU's SHA instructions where there are any).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kalmora {

using TSha256Digest = std::array<std::uint8_t, 32>;

class TSha256 {
public:
    // Raises Exception when libcrypto cannot provide the digest.
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest of everything fed so far; the object is spent afterwards.
    TSha256Digest Final();

private:
    struct TContext;
    std::unique_ptr<TContext> FContext;
};

// SHA-256 on a thread of its own, so that a download hashes while it waits for the network: Update copies
// the data and returns at once unless 16 MiB are already waiting. One thread feeds it.
class TBackgroundSha256 {
public:
    TBackgroundSha256();
    // Stops and joins the hashing thread.
    ~TBackgroundSha256();
    TBackgroundSha256(const TBackgroundSha256&) = delete;
    TBackgroundSha256& operator=(const TBackgroundSha256&) = delete;

    void Update(const void* data, std::size_t size);
    // Waits for everything fed so far; raises what the hashing raised. The object is spent afterwards.
    TSha256Digest Final();

private:
    struct TState;
    std::unique_ptr<TState> FState;
};

// Lower-case hex digits of `bytes`.
std::string HexText(const std::uint8_t* bytes, std::size_t size);
inline std::string HexText(const TSha256Digest& digest) {
    return HexText(digest.data(), digest.size());
}

// The SHA-256 of a whole file as 64 lower-case hex digits. Raises EInOutError when it cannot be read.
std::string Sha256OfFile(const std::string& path);

} // namespace kalmora
