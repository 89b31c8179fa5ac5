#include "HttpTestServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalmora::test {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("test server: ") + what + ": " + std::strerror(errno));
}

} // namespace

THttpTestServer::THttpTestServer() {
    FStopEvent = ::eventfd(0, EFD_CLOEXEC);
    if (FStopEvent < 0)
        Fail("eventfd");
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FListen < 0)
        Fail("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListen, 64) != 0 ||
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        Fail("listen");
    FPort = ntohs(address.sin_port);
    FAcceptor = std::thread([this] { AcceptLoop(); });
}

THttpTestServer::~THttpTestServer() {
    Stop();
}

void THttpTestServer::Stop() {
    {
        std::lock_guard lock(FLock);
        if (FStopped)
            return;
        FStopped = true;
    }
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(FStopEvent, &one, sizeof one);
    FAcceptor.join();
    ::close(FListen);
    FListen = -1;
    std::vector<TWorker> workers;
    {
        std::lock_guard lock(FLock);
        workers.swap(FWorkers);
    }
    for (auto& worker : workers)
        worker.thread.join();
    ::close(FStopEvent);
    FStopEvent = -1;
}

std::string THttpTestServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(FPort) + "/";
}

std::string THttpTestServer::Url(const std::string& path) const {
    return BaseUrl() + (path.starts_with('/') ? path.substr(1) : path);
}

void THttpTestServer::Script(const std::string& path, TScriptedResponse response) {
    std::lock_guard lock(FLock);
    FScripts[path] = std::move(response);
}

void THttpTestServer::ServeDirectory(std::string root) {
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    std::lock_guard lock(FLock);
    FRoot = std::move(root);
}

void THttpTestServer::SetRateLimit(std::uint64_t bytesPerSecond) {
    std::lock_guard lock(FLock);
    FRate = bytesPerSecond;
}

void THttpTestServer::SetRequestHook(std::function<void(const TRequestRecord&)> hook) {
    std::lock_guard lock(FLock);
    FHook = std::move(hook);
}

std::vector<TRequestRecord> THttpTestServer::Requests() const {
    std::lock_guard lock(FLock);
    return FRequests;
}

std::size_t THttpTestServer::ConnectionCount() const {
    std::lock_guard lock(FLock);
    return FConnections;
}

bool THttpTestServer::WaitForStalls(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FStalls >= count; });
}

bool THttpTestServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FRequests.size() >= count; });
}

void THttpTestServer::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{FListen, POLLIN, 0}, {FStopEvent, POLLIN, 0}};
        int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (fds[1].revents & POLLIN))
            return;
        int socket = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        std::lock_guard lock(FLock);
        ++FConnections;
        // Threads of answered connections are joined here, so a long-running server does not pile them up.
        std::erase_if(FWorkers, [](TWorker& worker) {
            if (!*worker.finished)
                return false;
            worker.thread.join();
            return true;
        });
        auto finished = std::make_shared<std::atomic<bool>>(false);
        FWorkers.push_back({std::thread([this, socket, finished] {
                                Serve(socket);
                                *finished = true;
                            }),
                            finished});
        FChanged.notify_all();
    }
}

std::optional<TScriptedResponse> THttpTestServer::ScriptFor(const std::string& path) const {
    std::lock_guard lock(FLock);
    auto found = FScripts.find(path);
    if (found == FScripts.end())
        return std::nullopt;
    return found->second;
}

void THttpTestServer::Record(const TRequestRecord& request) {
    std::function<void(const TRequestRecord&)> hook;
    {
        std::lock_guard lock(FLock);
        FRequests.push_back(request);
        hook = FHook;
        FChanged.notify_all();
    }
    if (hook)
        hook(request);
}

void THttpTestServer::NoteStall() {
    std::lock_guard lock(FLock);
    ++FStalls;
    FChanged.notify_all();
}

} // namespace kalmora::test
