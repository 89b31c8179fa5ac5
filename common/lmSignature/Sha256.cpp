#include "Sha256.h"

#include "fs/FileSystem.h"
#include "runtime/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <openssl/evp.h>
#include <unistd.h>
#include <vector>

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

namespace {

constexpr std::size_t ChunkSize = 1 << 20;
constexpr std::size_t ChunksWaiting = 16;

} // namespace

struct TBackgroundSha256::TState {
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<std::vector<char>> Waiting;
    std::vector<std::vector<char>> Spare;
    std::vector<char> Filling;
    bool Ended = false;
    std::exception_ptr Error;
    TSha256 Hash;
    std::thread Worker;

    void Work() {
        std::unique_lock lock(Lock);
        for (;;) {
            Changed.wait(lock, [this] { return Ended || !Waiting.empty(); });
            if (Waiting.empty())
                return;
            std::vector<char> chunk = std::move(Waiting.front());
            Waiting.pop_front();
            lock.unlock();
            try {
                if (!Error)
                    Hash.Update(chunk.data(), chunk.size());
            } catch (...) {
                Error = std::current_exception(); // read by Final after the join
            }
            lock.lock();
            chunk.clear();
            Spare.push_back(std::move(chunk));
            Changed.notify_all();
        }
    }

    void Hand(std::unique_lock<std::mutex>& lock) {
        Changed.wait(lock, [this] { return Waiting.size() < ChunksWaiting; });
        Waiting.push_back(std::move(Filling));
        Filling.clear();
        if (!Spare.empty()) {
            Filling = std::move(Spare.back());
            Spare.pop_back();
        }
        Changed.notify_all();
    }

    // Without `finish` what waits is dropped: nobody asks for the digest any more.
    void Stop(bool finish) {
        {
            std::lock_guard lock(Lock);
            Ended = true;
            if (!finish)
                Waiting.clear();
        }
        Changed.notify_all();
        if (Worker.joinable())
            Worker.join();
    }
};

TBackgroundSha256::TBackgroundSha256() : FState(std::make_unique<TState>()) {
    FState->Worker = std::thread([state = FState.get()] { state->Work(); });
}

TBackgroundSha256::~TBackgroundSha256() {
    FState->Stop(false);
}

void TBackgroundSha256::Update(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        std::vector<char>& filling = FState->Filling;
        if (filling.capacity() < ChunkSize)
            filling.reserve(ChunkSize);
        const std::size_t n = std::min(size, ChunkSize - filling.size());
        filling.insert(filling.end(), bytes, bytes + n);
        bytes += n;
        size -= n;
        if (filling.size() == ChunkSize) {
            std::unique_lock lock(FState->Lock);
            FState->Hand(lock);
        }
    }
}

TSha256Digest TBackgroundSha256::Final() {
    {
        std::unique_lock lock(FState->Lock);
        if (!FState->Filling.empty())
            FState->Hand(lock);
    }
    FState->Stop(true);
    if (FState->Error)
        std::rethrow_exception(FState->Error);
    return FState->Hash.Final();
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
