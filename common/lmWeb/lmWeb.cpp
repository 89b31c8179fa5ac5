#include "lmWeb.h"

#include "HttpFileSink.h"
#include "UtilBox/Registry.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <optional>

namespace kalmora {

namespace {

constexpr const char* UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
// Waiting for data, the progress callback is offered the transfer at least this often, so that a cancel
// through it takes effect well within a second.
constexpr std::chrono::milliseconds IdleWorkInterval{200};
// The longest the transfer loop sleeps in the network wait before it looks at the callback again.
constexpr std::chrono::milliseconds PollSlice{100};
constexpr long ReceiveBufferSize = 256 * 1024;

using TClock = std::chrono::steady_clock;

struct CurlEasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using TCurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlMultiDeleter {
    void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};
using TCurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using TCurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw EHttpError("The HTTP library cannot be initialised");
    });
}

// Everything the libcurl callbacks share with the calling code. Nothing in here may throw out of a callback:
// failures are stored and the transfer is stopped.
class TTransfer {
public:
    TTransfer(CURL* curl, IHttpSink& sink, const TWorkEvent& onWork, const THttpLimits& limits)
        : FCurl(curl), FSink(sink), FOnWork(onWork), FLimits(limits), FLastData(TClock::now()),
          FLastWork(FLastData) {}

    // The entry points from libcurl: whatever is raised inside is kept for Finish and stops the transfer.
    static size_t OnHeader(char* data, size_t size, size_t count, void* self) noexcept {
        return Guarded(self, size_t{0}, [&](TTransfer& t) { return t.Header(data, size * count); });
    }
    static size_t OnBody(char* data, size_t size, size_t count, void* self) noexcept {
        return Guarded(self, size_t{0}, [&](TTransfer& t) { return t.Body(data, size * count); });
    }
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
        return Guarded(self, 1, [](TTransfer& t) { return t.Progress(); });
    }
    // The same check from the transfer loop, between two network waits; false stops the transfer.
    bool Tick() noexcept { return OnProgress(this, 0, 0, 0, 0) == 0; }

    // Raises what the transfer ended with; returns only after a complete 2xx response.
    void Finish(CURLcode result, const char* errorText) {
        if (FError)
            std::rethrow_exception(FError);
        long code = 0;
        curl_easy_getinfo(FCurl, CURLINFO_RESPONSE_CODE, &code);
        if (code != 0 && !IsSuccess(code))
            throw EHttpError("HTTP error: " + (FStatusLine.empty() ? std::to_string(code) : FStatusLine),
                             static_cast<int>(code), FStatusLine, std::move(FErrorBody));
        if (FStalled)
            throw EHttpError("No data received for " + std::to_string(FLimits.stall.count()) + " ms");
        if (result != CURLE_OK) {
            // curl's error buffer is the specific message and mostly ends with the generic one already.
            const std::string text = errorText && *errorText ? errorText : curl_easy_strerror(result);
            throw EHttpError("HTTP transfer failed: " + text);
        }
        if (!IsSuccess(code))
            throw EHttpError("HTTP transfer ended without a status");
    }

private:
    template <class R, class F> static R Guarded(void* self, R onError, F call) noexcept {
        auto& transfer = *static_cast<TTransfer*>(self);
        try {
            return call(transfer);
        } catch (...) {
            // No exception may cross libcurl: kept for Finish, which raises it once libcurl has returned.
            transfer.FError = std::current_exception();
            return onError;
        }
    }

    static bool IsSuccess(long code) { return code >= 200 && code <= 299; }

    size_t Header(const char* data, size_t size) {
        FLastData = TClock::now();
        std::string_view line(data, size);
        // Each response (an interim 1xx one included) starts with its status line.
        if (line.starts_with("HTTP/")) {
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.remove_suffix(1);
            FStatusLine = std::string(line);
            FStatusCode.reset();
        }
        return size;
    }

    size_t Body(const char* data, size_t size) {
        FLastData = TClock::now();
        if (!FStatusCode) {
            long code = 0;
            curl_easy_getinfo(FCurl, CURLINFO_RESPONSE_CODE, &code);
            FStatusCode = code;
        }
        if (!IsSuccess(*FStatusCode)) {
            // An error body is kept aside, and only as much of it as is worth reporting.
            size_t room = HttpErrorBodyLimit - FErrorBody.size();
            FErrorBody.append(data, std::min(room, size));
            return size <= room ? size : 0;
        }
        FSink.Write(data, size);
        FReceived += static_cast<std::int64_t>(size);
        CallWork();
        return size;
    }

    int Progress() {
        auto now = TClock::now();
        if (now - FLastData >= FLimits.stall) {
            FStalled = true;
            return 1;
        }
        if (FOnWork && now - FLastWork >= IdleWorkInterval)
            CallWork();
        return 0;
    }

    void CallWork() {
        FLastWork = TClock::now();
        if (FOnWork)
            FOnWork(FCurl, TWorkMode::wmRead, FReceived);
    }

    CURL* FCurl;
    IHttpSink& FSink;
    const TWorkEvent& FOnWork;
    THttpLimits FLimits;
    TClock::time_point FLastData;
    TClock::time_point FLastWork;
    std::string FStatusLine;
    std::optional<long> FStatusCode;
    std::string FErrorBody;
    std::int64_t FReceived = 0;
    bool FStalled = false;
    std::exception_ptr FError;
};

// curl_easy_perform waits up to a second in the network without calling back; this loop wakes every
// PollSlice to offer the transfer to the progress check, which is what bounds a cancel's delay.
CURLcode Perform(CURL* curl, TTransfer& transfer) {
    TCurlMulti multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK)
        throw EHttpError("The HTTP client cannot be created");
    CURLcode result = CURLE_OK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            int left = 0;
            for (CURLMsg* message; (message = curl_multi_info_read(multi.get(), &left));)
                if (message->msg == CURLMSG_DONE && message->easy_handle == curl)
                    result = message->data.result;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(PollSlice.count()), nullptr);
        if (!transfer.Tick()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

template <class T> void SetOption(CURL* curl, CURLoption option, T value) {
    if (curl_easy_setopt(curl, option, value) != CURLE_OK)
        throw EHttpError("The HTTP client cannot be configured (option " + std::to_string(option) + ")");
}

class TStringSink : public IHttpSink {
public:
    void Write(const char* data, std::size_t size) override {
        if (size > HttpStringLimit - Text.size())
            throw EHttpError("Response body larger than " + std::to_string(HttpStringLimit) + " bytes");
        Text.append(data, size);
    }
    std::string Text;
};

class TCheckedSink : public IHttpSink {
public:
    TCheckedSink(IHttpSink& sink, IHttpBodyCheck& check) : FSink(sink), FCheck(check) {}
    void Write(const char* data, std::size_t size) override {
        FCheck.Block(data, size);
        FSink.Write(data, size);
    }

private:
    IHttpSink& FSink;
    IHttpBodyCheck& FCheck;
};

} // namespace

std::string ServerCaFile() {
    const TMachineSetting setting =
        ReadMachineSetting(std::string(ServerCaFileSetting), std::string(ProductRegistryKey));
    return setting.IsText ? setting.Text : std::string();
}

void HttpGet(const std::string& url, IHttpSink& sink, const TWorkEvent& onWork, const THttpLimits& limits) {
    InitCurlOnce();
    TCurlEasy curl(curl_easy_init());
    if (!curl)
        throw EHttpError("The HTTP client cannot be created");
    CURL* c = curl.get();
    TTransfer transfer(c, sink, onWork, limits);

    // Exactly these request headers besides Host; an empty "Accept:" would remove curl's own instead.
    TCurlList headers;
    for (const char* header : {"Accept: text/html, */*", "Accept-Encoding: identity"}) {
        curl_slist* list = curl_slist_append(headers.get(), header);
        if (!list)
            throw EHttpError("The HTTP client cannot be configured");
        headers.release();
        headers.reset(list);
    }

    char errorText[CURL_ERROR_SIZE] = {};
    SetOption(c, CURLOPT_URL, url.c_str());
    SetOption(c, CURLOPT_ERRORBUFFER, errorText);
    SetOption(c, CURLOPT_PROTOCOLS_STR, "http,https");
    SetOption(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    SetOption(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    SetOption(c, CURLOPT_SSL_VERIFYPEER, 1L);
    SetOption(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (const std::string caFile = ServerCaFile(); !caFile.empty()) {
        // The named CAs alone: the system's certificate folder would otherwise be trusted beside them.
        SetOption(c, CURLOPT_CAINFO, caFile.c_str());
        SetOption(c, CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }
    SetOption(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    // No proxy, whatever http_proxy and friends say.
    SetOption(c, CURLOPT_PROXY, "");
    SetOption(c, CURLOPT_NOPROXY, "*");
    SetOption(c, CURLOPT_FOLLOWLOCATION, 0L);
    // Credentials are never sent, not even those written into a URL.
    SetOption(c, CURLOPT_DISALLOW_USERNAME_IN_URL, 1L);
    SetOption(c, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    SetOption(c, CURLOPT_HTTPHEADER, headers.get());
    SetOption(c, CURLOPT_USERAGENT, UserAgent);
    // The body is stored as it came; chunked coding is still undone.
    SetOption(c, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    SetOption(c, CURLOPT_NOSIGNAL, 1L);
    SetOption(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
    // A backstop behind the exact stall check in the progress callback.
    auto stallSeconds = std::chrono::ceil<std::chrono::seconds>(limits.stall).count();
    SetOption(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    SetOption(c, CURLOPT_LOW_SPEED_TIME,
              static_cast<long>(std::max<decltype(stallSeconds)>(stallSeconds, 1)));
    SetOption(c, CURLOPT_BUFFERSIZE, ReceiveBufferSize);
    SetOption(c, CURLOPT_HEADERFUNCTION, &TTransfer::OnHeader);
    SetOption(c, CURLOPT_HEADERDATA, &transfer);
    SetOption(c, CURLOPT_WRITEFUNCTION, &TTransfer::OnBody);
    SetOption(c, CURLOPT_WRITEDATA, &transfer);
    SetOption(c, CURLOPT_XFERINFOFUNCTION, &TTransfer::OnProgress);
    SetOption(c, CURLOPT_XFERINFODATA, &transfer);
    SetOption(c, CURLOPT_NOPROGRESS, 0L);

    CURLcode result = Perform(c, transfer);
    transfer.Finish(result, errorText);
}

void HttpGet(const std::string& url, IHttpSink& sink, const TWorkEvent& onWork) {
    HttpGet(url, sink, onWork, THttpLimits{});
}

std::string HttpGetString(const std::string& url, bool raiseErrors, const TWorkEvent& onWork) {
    try {
        TStringSink sink;
        HttpGet(url, sink, onWork);
        return std::move(sink.Text);
    } catch (...) {
        // Without raiseErrors every failure means "no text", by contract; callers that care pass true.
        if (raiseErrors)
            throw;
        return {};
    }
}

void HttpGetFile(const std::string& url, const std::string& fileName, const TWorkEvent& onWork,
                 const THttpLimits& limits, IHttpBodyCheck* check) {
    std::string workFile = fileName + ".part";
    THttpFileSink sink(workFile);
    try {
        if (check) {
            TCheckedSink checked(sink, *check);
            HttpGet(url, checked, onWork, limits);
            check->Complete();
        } else {
            HttpGet(url, sink, onWork, limits);
        }
    } catch (...) {
        sink.Abandon(); // the error goes on to the caller unchanged
        throw;
    }
    sink.Close();
    sink.CommitAs(fileName);
}

void HttpGetFile(const std::string& url, const std::string& fileName, const TWorkEvent& onWork) {
    HttpGetFile(url, fileName, onWork, THttpLimits{});
}

} // namespace kalmora
