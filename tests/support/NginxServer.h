#pragma once

// A real nginx (Debian's nginx-light) serving a folder on 127.0.0.1, for process tests that should meet a
// real web server rather than the scripted loopback server. For stalls, resets and malformed answers keep
// using THttpTestServer.
//
// Use:
//     TNginxServer server(root);                              // plain HTTP, files below root
//     TNginxServer tls(root, certificate);  // HTTPS with a PEM certificate and key (TestCertificates.h)
//     setenv("KALMORA_CONFIG_BASE_URL", server.Url("kmdata/kmconfig/").c_str(), 1);
//     ... run the program ...
//     server.WaitForRequests(3, 5s);  server.Requests()       // what it asked for, from nginx's access log
// The server listens when the constructor returns and is stopped by the destructor (or Stop()). It runs as
// one process in the foreground, as root or as any other user: its configuration, logs and temporary files
// lie in a folder of its own below /tmp (never below $TMPDIR, which tests point at folders they inspect).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kalmora::test {

// A PEM certificate and its private key.
struct TCertificateFiles {
    std::string certificate;
    std::string key;
};

// One request as nginx's access log records it, once the response has ended.
struct TNginxRequest {
    int status = 0;
    std::string method;
    std::string target;                            // as sent, query included
    std::string accept, acceptEncoding, userAgent; // "-" when the header was absent
};

class TNginxServer {
public:
    // Serves the regular files below documentRoot (404 for anything else). With a certificate the port
    // speaks TLS 1.2 and 1.3 only. serverDirectives go inside the server block, for example
    // "limit_rate 1m;" or "location = /gone { return 410; }". Raises std::runtime_error with nginx's own
    // words when it cannot start (nginx missing, configuration refused, no free port).
    explicit TNginxServer(std::string documentRoot, std::optional<TCertificateFiles> tls = std::nullopt,
                          std::string serverDirectives = {});
    ~TNginxServer();
    TNginxServer(const TNginxServer&) = delete;
    TNginxServer& operator=(const TNginxServer&) = delete;

    std::uint16_t Port() const { return FPort; }
    // "http://127.0.0.1:PORT/", or "https://..." with TLS.
    std::string BaseUrl() const;
    // BaseUrl() followed by path without its leading "/".
    std::string Url(const std::string& path) const;

    // Every request whose response has ended, in that order.
    std::vector<TNginxRequest> Requests() const;
    // True once at least `count` requests are logged (false after the timeout).
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // nginx's error log so far, for messages of failed assertions.
    std::string ErrorLog() const;

    // Ends the server and waits for it; the port is closed afterwards. Called by the destructor.
    void Stop();

private:
    bool Launch(); // false when the chosen port was taken meanwhile
    void WriteConfiguration() const;

    std::string FDocumentRoot;
    std::optional<TCertificateFiles> FTls;
    std::string FServerDirectives;
    std::string FFolder;
    std::uint16_t FPort = 0;
    pid_t FPid = -1;
};

} // namespace kalmora::test
