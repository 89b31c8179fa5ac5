#include "NginxServer.h"

#include "TestFolder.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kalmora::test {

namespace {

using namespace std::chrono_literals;

constexpr const char* NginxProgram = "/usr/sbin/nginx";
constexpr auto StartTimeout = 10s;
constexpr auto StopTimeout = 5s;
constexpr int PortAttempts = 5;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A port that was free a moment ago. nginx cannot tell which port it got for port 0, so one is picked here
// and a start that finds it taken meanwhile tries another.
std::uint16_t FreePort() {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    bool ok = socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (socket >= 0)
        ::close(socket);
    if (!ok)
        throw std::runtime_error("no free loopback port for nginx");
    return ntohs(address.sin_port);
}

bool Accepts(std::uint16_t port) {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(port);
    bool ok = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return ok;
}

// Exited (and reaped) within the timeout.
bool Reaped(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

} // namespace

TNginxServer::TNginxServer(std::string documentRoot, std::optional<TCertificateFiles> tls,
                           std::string serverDirectives)
    : FDocumentRoot(std::move(documentRoot)), FTls(std::move(tls)),
      FServerDirectives(std::move(serverDirectives)) {
    if (::access(NginxProgram, X_OK) != 0)
        throw std::runtime_error(std::string(NginxProgram) + " is missing: install nginx-light");
    std::string pattern = "/tmp/kmnginx.XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a folder for nginx below /tmp");
    FFolder = pattern;
    MakeDir(FFolder + "/temp", 0700);
    try {
        for (int attempt = 0; attempt < PortAttempts; ++attempt)
            if (Launch())
                return;
        throw std::runtime_error("nginx found no free loopback port:\n" + ErrorLog());
    } catch (...) {
        RemoveAll(FFolder);
        throw;
    }
}

TNginxServer::~TNginxServer() {
    Stop();
    RemoveAll(FFolder);
}

std::string TNginxServer::BaseUrl() const {
    return std::string(FTls ? "https" : "http") + "://127.0.0.1:" + std::to_string(FPort) + "/";
}

std::string TNginxServer::Url(const std::string& path) const {
    return BaseUrl() + (path.starts_with('/') ? path.substr(1) : path);
}

void TNginxServer::WriteConfiguration() const {
    const std::string& f = FFolder;
    std::ostringstream conf;
    conf << "daemon off;\nmaster_process off;\n"
         << "pid " << f << "/nginx.pid;\n"
         << "error_log " << f << "/error.log warn;\n"
         << "events { worker_connections 256; }\n"
         << "http {\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        conf << "  " << temp << "_temp_path " << f << "/temp/" << temp << ";\n";
    conf << "  log_format kalmora \"$status\\t$request_method\\t$request_uri\\t$http_accept\\t"
            "$http_accept_encoding\\t$http_user_agent\";\n"
         << "  access_log " << f << "/access.log kalmora;\n"
         << "  default_type application/octet-stream;\n"
         << "  server_tokens off;\n"
         << "  server {\n"
         << "    listen 127.0.0.1:" << FPort << (FTls ? " ssl" : "") << ";\n"
         << "    root " << FDocumentRoot << ";\n";
    if (FTls)
        conf << "    ssl_certificate " << FTls->certificate << ";\n"
             << "    ssl_certificate_key " << FTls->key << ";\n"
             << "    ssl_protocols TLSv1.2 TLSv1.3;\n";
    conf << "    " << FServerDirectives << "\n  }\n}\n";
    WriteFile(f + "/nginx.conf", conf.str());
}

bool TNginxServer::Launch() {
    FPort = FreePort();
    WriteConfiguration();
    WriteFile(FFolder + "/error.log", "");
    const std::string conf = FFolder + "/nginx.conf";
    const std::string errorLog = FFolder + "/error.log";
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("cannot start nginx");
    if (pid == 0) {
        // A test that dies leaves no server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        int null = ::open("/dev/null", O_RDWR);
        int log = ::open(errorLog.c_str(), O_WRONLY | O_APPEND);
        ::dup2(null, 0);
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::close_range(3, ~0U, 0);
        ::execl(NginxProgram, NginxProgram, "-p", FFolder.c_str(), "-c", conf.c_str(), "-e", errorLog.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    FPid = pid;
    auto deadline = std::chrono::steady_clock::now() + StartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(FPort))
            return true;
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            if (ErrorLog().find("Address already in use") != std::string::npos)
                return false;
            throw std::runtime_error("nginx did not start:\n" + ErrorLog());
        }
        std::this_thread::sleep_for(10ms);
    }
    Stop();
    throw std::runtime_error("nginx did not listen within 10 s:\n" + ErrorLog());
}

void TNginxServer::Stop() {
    if (FPid < 0)
        return;
    // TERM is nginx's fast shutdown: open connections are closed at once.
    ::kill(FPid, SIGTERM);
    if (!Reaped(FPid, StopTimeout)) {
        ::kill(FPid, SIGKILL);
        Reaped(FPid, StopTimeout);
    }
    FPid = -1;
}

std::vector<TNginxRequest> TNginxServer::Requests() const {
    std::vector<TNginxRequest> requests;
    std::istringstream log(ReadFile(FFolder + "/access.log"));
    for (std::string line; std::getline(log, line);) {
        auto fields = Fields(line);
        if (fields.size() != 6)
            continue;
        requests.push_back(
            {std::atoi(fields[0].c_str()), fields[1], fields[2], fields[3], fields[4], fields[5]});
    }
    return requests;
}

bool TNginxServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Requests().size() < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::string TNginxServer::ErrorLog() const {
    return ReadFile(FFolder + "/error.log");
}

} // namespace kalmora::test
