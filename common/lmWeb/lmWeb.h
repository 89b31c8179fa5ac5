#pragma once

// Blocking HTTP GET of one resource into a sink, a string or a file. Each call builds its own client and
// destroys it before returning. All three run on the calling thread.
//
// "http" and "https" URLs are fetched; https over TLS 1.2 or later, with the server's certificate and host
// name verified against the system's CA store, or against the machine-wide ServerCAFile alone when that is
// set. Redirects are never followed, proxies are ignored and no credentials are sent, whatever the scheme.

#include "runtime/Exceptions.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace kalmora {

enum class TWorkMode { wmRead, wmWrite };

// Progress callback: called on the calling thread for each block of body data received (and at least once a
// second while waiting for data); raising from it ends the transfer at once and the error comes out of
// HttpGet / HttpGetFile unchanged. WorkCount is the number of body bytes received so far.
using TWorkEvent = std::function<void(void* sender, TWorkMode workMode, std::int64_t workCount)>;

// Where HttpGet writes the body of a successful response, block by block. Write raises on failure.
class IHttpSink {
public:
    virtual ~IHttpSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};

// Sees the body of a successful response as HttpGetFile stores it: each block before it is written, and
// the end of the complete body before the file is renamed into place. Raising from either ends the transfer
// with that error, and the body is not put at FileName.
class IHttpBodyCheck {
public:
    virtual ~IHttpBodyCheck() = default;
    virtual void Block(const char* data, std::size_t size) = 0;
    virtual void Complete() = 0;
};

// A transfer that failed: a non-2xx status (StatusCode > 0) or a transport error (StatusCode 0).
class EHttpError : public Exception {
public:
    EHttpError(std::string message, int statusCode = 0, std::string statusLine = {}, std::string body = {})
        : Exception(std::move(message)), StatusCode(statusCode), StatusLine(std::move(statusLine)),
          Body(std::move(body)) {}
    std::string_view ClassName() const noexcept override { return "EHttpError"; }
    int StatusCode;
    std::string StatusLine;
    std::string Body; // the error response's body, capped in size
};

inline constexpr std::chrono::seconds HttpConnectTimeout{30};
// A transfer that receives no byte for this long fails.
inline constexpr std::chrono::seconds HttpStallTimeout{60};
// The largest body HttpGetString accepts.
inline constexpr std::size_t HttpStringLimit = 1024 * 1024;
// How much of an error response's body EHttpError keeps.
inline constexpr std::size_t HttpErrorBodyLimit = 64 * 1024;

// The time limits of one transfer. Every caller in the system uses the defaults; tests shorten them.
struct THttpLimits {
    std::chrono::milliseconds connect = HttpConnectTimeout;
    std::chrono::milliseconds stall = HttpStallTimeout;
};

// The machine-wide value under Software\Kalmora naming a PEM file of the CAs that an https server's
// certificate must chain to; per-user values are not read.
inline constexpr std::string_view ServerCaFileSetting = "ServerCAFile";
// That value, empty when it is not set.
std::string ServerCaFile();

// Raises EHttpError for every failure; errors of the callback or the sink come out unchanged.
void HttpGet(const std::string& url, IHttpSink& sink, const TWorkEvent& onWork = {});
void HttpGet(const std::string& url, IHttpSink& sink, const TWorkEvent& onWork, const THttpLimits& limits);
// The body as it came; bodies over 1 MiB are refused. With raiseErrors false every error gives "".
// onWork may end the transfer as it does for HttpGet.
std::string HttpGetString(const std::string& url, bool raiseErrors, const TWorkEvent& onWork = {});
// Streams the body into FileName + ".part" and renames it over FileName after success.
// The work file is created (truncated) before the request is sent; a failure to create it raises
// EInOutError and sends nothing. After an error FileName is unchanged and the ".part" file keeps what
// arrived. The rename over FileName is atomic; if it fails, EInOutError is raised and the body stays in
// ".part".
void HttpGetFile(const std::string& url, const std::string& fileName, const TWorkEvent& onWork = {});
void HttpGetFile(const std::string& url, const std::string& fileName, const TWorkEvent& onWork,
                 const THttpLimits& limits, IHttpBodyCheck* check = nullptr);

} // namespace kalmora
