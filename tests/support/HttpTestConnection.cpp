#include "HttpTestServer.h"

// How one connection is answered: reading the request, then a scripted response or a static file.

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

constexpr std::size_t MaxRequestHead = 64 * 1024;
constexpr std::size_t PieceSize = 256 * 1024;

using TClock = std::chrono::steady_clock;

int StatusCodeOf(const std::string& statusLine) {
    auto space = statusLine.find(' ');
    if (space == std::string::npos)
        return 0;
    return std::atoi(statusLine.c_str() + space + 1);
}

std::string PercentDecoded(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            result += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The file below root that a request path names, or "" when the path leaves root or is not plain.
std::string FileBelow(const std::string& root, const std::string& path) {
    std::string decoded = PercentDecoded(path);
    if (decoded.empty() || decoded[0] != '/' || decoded.find('\0') != std::string::npos)
        return {};
    std::size_t start = 1;
    while (start <= decoded.size()) {
        auto end = decoded.find('/', start);
        if (end == std::string::npos)
            end = decoded.size();
        std::string segment = decoded.substr(start, end - start);
        if (segment == "." || segment == "..")
            return {};
        start = end + 1;
    }
    return root + decoded;
}

} // namespace

char GeneratedByte(std::uint64_t offset) {
    return static_cast<char>('0' + offset % 251 % 75);
}

namespace {

// Generated bodies are copied from one period-aligned table, fast enough for benchmarks.
void FillGenerated(std::uint64_t offset, char* buffer, std::size_t size) {
    static const std::string table = [] {
        std::string text(PieceSize + 251, '\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = GeneratedByte(i);
        return text;
    }();
    while (size > 0) {
        std::size_t start = static_cast<std::size_t>(offset % 251);
        std::size_t n = std::min(size, table.size() - start);
        std::memcpy(buffer, table.data() + start, n);
        buffer += n;
        offset += n;
        size -= n;
    }
}

} // namespace

// One accepted connection: reading the request and sending the response, every wait ending when the server
// stops.
class THttpTestServer::TConnection {
public:
    TConnection(THttpTestServer& server, int socket) : FServer(server), FSocket(socket) {}
    ~TConnection() {
        if (FSocket >= 0)
            ::close(FSocket);
    }

    void Run() {
        TRequestRecord request;
        if (!ReadRequest(request))
            return;
        auto script = FServer.ScriptFor(PathOf(request.target));
        if (script) {
            request.status = script->rawResponse.empty() ? StatusCodeOf(script->statusLine) : 0;
            FServer.Record(request);
            SendScripted(*script, request.method == "HEAD");
        } else {
            ServeFile(request);
        }
    }

private:
    static std::string PathOf(const std::string& target) { return target.substr(0, target.find('?')); }

    // Waits until the socket is ready for `events` or the time is up; false when the server stops.
    bool WaitFor(short events, int timeoutMs, bool* ready = nullptr) {
        pollfd fds[2] = {{FSocket, events, 0}, {FServer.FStopEvent, POLLIN, 0}};
        for (;;) {
            int n = ::poll(fds, 2, timeoutMs);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || (fds[1].revents & POLLIN))
                return false;
            if (ready)
                *ready = n > 0;
            return true;
        }
    }

    bool Pause(std::chrono::milliseconds time) {
        auto until = TClock::now() + time;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - TClock::now()).count();
            if (left <= 0)
                return true;
            pollfd stop{FServer.FStopEvent, POLLIN, 0};
            int n = ::poll(&stop, 1, static_cast<int>(left));
            if (n > 0)
                return false;
        }
    }

    bool ReadRequest(TRequestRecord& request) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            if (head.size() > MaxRequestHead || !WaitFor(POLLIN, -1))
                return false;
            ssize_t n = ::recv(FSocket, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            head.append(buffer, static_cast<std::size_t>(n));
        }
        head.resize(head.find("\r\n\r\n"));
        std::size_t start = 0;
        bool first = true;
        while (start <= head.size()) {
            auto end = head.find("\r\n", start);
            if (end == std::string::npos)
                end = head.size();
            std::string line = head.substr(start, end - start);
            if (first) {
                auto a = line.find(' ');
                auto b = line.rfind(' ');
                request.method = line.substr(0, a);
                if (a != std::string::npos && b > a) {
                    request.target = line.substr(a + 1, b - a - 1);
                    request.version = line.substr(b + 1);
                }
                first = false;
            } else {
                request.headerLines.push_back(line);
            }
            start = end + 2;
        }
        return true;
    }

    bool Send(const char* data, std::size_t size) {
        while (size > 0) {
            if (!WaitFor(POLLOUT, -1))
                return false;
            ssize_t n = ::send(FSocket, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Send(const std::string& text) { return Send(text.data(), text.size()); }

    // Stands still until the server stops or the client has gone.
    void Stall() {
        FServer.NoteStall();
        char buffer[1024];
        for (;;) {
            bool ready = false;
            if (!WaitFor(POLLIN, -1, &ready))
                return;
            ssize_t n = ::recv(FSocket, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EINTR))
                return;
        }
    }

    void Reset() {
        linger hard{1, 0};
        ::setsockopt(FSocket, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(FSocket);
        FSocket = -1;
    }

    void Finish() {
        ::shutdown(FSocket, SHUT_WR);
        // Lets the client read everything before the socket goes; drains what it may still send.
        char buffer[1024];
        for (;;) {
            bool ready = false;
            if (!WaitFor(POLLIN, 5000, &ready) || !ready)
                return;
            ssize_t n = ::recv(FSocket, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
        }
    }

    using TReader = std::function<bool(std::uint64_t offset, char* buffer, std::size_t size)>;

    // Sends `length` body bytes read through `read`, honouring framing, pacing, stall and reset.
    void SendBody(const TScriptedResponse& how, std::uint64_t length, const TReader& read) {
        std::uint64_t end = length;
        if (how.stallAfter)
            end = std::min(end, *how.stallAfter);
        if (how.resetAfter)
            end = std::min(end, *how.resetAfter);
        std::uint64_t rate = 0;
        {
            std::lock_guard lock(FServer.FLock);
            rate = FServer.FRate;
        }
        bool chunked = how.framing == TBodyFraming::Chunked;
        std::size_t piece = how.trickleBytes > 0 ? how.trickleBytes : chunked ? how.chunkSize : PieceSize;
        piece = std::max<std::size_t>(piece, 1);
        if (rate > 0)
            piece = std::min<std::size_t>(piece, std::max<std::uint64_t>(rate / 20, 1));
        std::vector<char> buffer(piece);
        auto started = TClock::now();
        for (std::uint64_t sent = 0; sent < end;) {
            std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(piece, end - sent));
            if (!read(sent, buffer.data(), n))
                return Reset();
            if (chunked) {
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", n);
                if (!Send(size) || !Send(buffer.data(), n) || !Send("\r\n"))
                    return;
            } else if (!Send(buffer.data(), n)) {
                return;
            }
            sent += n;
            if (how.trickleBytes > 0 && sent < end && !Pause(how.trickleInterval))
                return;
            if (rate > 0) {
                auto due = started + std::chrono::microseconds(sent * 1000000 / rate);
                if (!Pause(std::chrono::ceil<std::chrono::milliseconds>(due - TClock::now())))
                    return;
            }
        }
        if (how.resetAfter)
            return Reset();
        if (how.stallAfter)
            return Stall();
        if (chunked && !Send("0\r\n\r\n"))
            return;
        Finish();
    }

    void SendScripted(const TScriptedResponse& how, bool headOnly) {
        if (how.delay.count() > 0 && !Pause(how.delay))
            return;
        if (!how.rawResponse.empty()) {
            if (Send(how.rawResponse))
                Finish();
            return;
        }
        std::uint64_t length = how.generatedLength > 0 ? how.generatedLength : how.body.size();
        std::string head = how.statusLine + "\r\n";
        if (how.framing == TBodyFraming::ContentLength)
            head += "Content-Length: " + std::to_string(how.announcedLength.value_or(length)) + "\r\n";
        else if (how.framing == TBodyFraming::Chunked)
            head += "Transfer-Encoding: chunked\r\n";
        for (const auto& line : how.headers)
            head += line + "\r\n";
        head += "\r\n";
        if (!Send(head))
            return;
        if (headOnly)
            return Finish();
        SendBody(how, length, [&how](std::uint64_t offset, char* buffer, std::size_t size) {
            if (how.generatedLength > 0)
                FillGenerated(offset, buffer, size);
            else
                std::memcpy(buffer, how.body.data() + offset, size);
            return true;
        });
    }

    void ServeFile(TRequestRecord& request) {
        std::string root;
        {
            std::lock_guard lock(FServer.FLock);
            root = FServer.FRoot;
        }
        int file = -1;
        struct stat info {};
        if (!root.empty()) {
            std::string name = FileBelow(root, PathOf(request.target));
            if (!name.empty())
                file = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
            if (file >= 0 && (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode))) {
                ::close(file);
                file = -1;
            }
        }
        TScriptedResponse how;
        how.headers = {"Connection: close"};
        if (request.method != "GET" && request.method != "HEAD") {
            how.statusLine = "HTTP/1.1 405 Method Not Allowed";
            how.body = "Method Not Allowed\n";
        } else if (file < 0) {
            how.statusLine = "HTTP/1.1 404 Not Found";
            how.body = "Not Found\n";
        }
        request.status = StatusCodeOf(how.statusLine);
        FServer.Record(request);
        if (file < 0 || request.status != 200) {
            if (file >= 0)
                ::close(file);
            return SendScripted(how, request.method == "HEAD");
        }
        std::uint64_t length = static_cast<std::uint64_t>(info.st_size);
        std::string head = how.statusLine + "\r\nContent-Length: " + std::to_string(length) +
                           "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
        if (Send(head) && request.method == "GET")
            SendBody(how, length, [file](std::uint64_t offset, char* buffer, std::size_t size) {
                while (size > 0) {
                    ssize_t n = ::pread(file, buffer, size, static_cast<off_t>(offset));
                    if (n <= 0)
                        return false;
                    buffer += n;
                    offset += static_cast<std::uint64_t>(n);
                    size -= static_cast<std::size_t>(n);
                }
                return true;
            });
        else
            Finish();
        ::close(file);
    }

    THttpTestServer& FServer;
    int FSocket;
};

void THttpTestServer::Serve(int socket) {
    TConnection connection(*this, socket);
    connection.Run();
}

} // namespace kalmora::test
