// The HTTP client over libcurl: the module volta_http.so, which httpGet
// loads when a run first asks a database.

#include "engine/net/http/httpget.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 5;

struct Received {
    std::string& body;
    std::size_t maxBytes;
    bool tooLarge = false;
};

size_t receive(char* data, size_t size, size_t count, void* user) {
    auto& received = *static_cast<Received*>(user);
    size_t bytes = size * count;
    if (bytes > received.maxBytes - received.body.size()) {
        received.tooLarge = true;
        return 0;  // makes libcurl stop with a write error
    }
    received.body.append(data, bytes);
    return bytes;
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string hostOf(const std::string& url) {
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    char* host = nullptr;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        return {};
    std::string name = host;
    curl_free(host);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

std::string describe(CURLcode code, const Received& received) {
    if (received.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
        return "answer larger than " + std::to_string(received.maxBytes) + " bytes";
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return "host not found";
    case CURLE_COULDNT_RESOLVE_PROXY: return "proxy not found";
    case CURLE_COULDNT_CONNECT: return "connection refused";
    case CURLE_OPERATION_TIMEDOUT: return "timed out";
    case CURLE_GOT_NOTHING: return "empty answer";
    case CURLE_PARTIAL_FILE: return "answer cut short";
    case CURLE_RECV_ERROR: return "connection broken";
    case CURLE_WEIRD_SERVER_REPLY: return "not an HTTP answer";
    case CURLE_UNSUPPORTED_PROTOCOL: return "not an http or https address";
    case CURLE_URL_MALFORMAT: return "malformed address";
    default: return curl_easy_strerror(code);
    }
}

long millisecondsLeft(Clock::time_point deadline) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

}  // namespace

extern "C" int voltaHttpGet(const std::string& url, const std::string& userAgent, const HttpLimits& limits,
                            HttpAnswer& answer, std::string& reason) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(limits.totalSeconds);
    const std::string host = hostOf(url);
    std::string target = url;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        long left = millisecondsLeft(deadline);
        if (left <= 0) {
            reason = "timed out";
            return 1;
        }
        std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
        if (!handle) {
            reason = "out of memory";
            return 1;
        }
        answer = HttpAnswer{};
        Received received{answer.body, limits.maxBytes};
        CURL* h = handle.get();
        curl_easy_setopt(h, CURLOPT_URL, target.c_str());
        curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, std::min(left, limits.connectSeconds * 1000));
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, left);
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, receive);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &received);
        CURLcode code = curl_easy_perform(h);
        if (code != CURLE_OK) {
            reason = describe(code, received);
            return 1;
        }
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &answer.status);
        curl_off_t retryAfter = 0;
        if (curl_easy_getinfo(h, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
            answer.retryAfterSeconds = static_cast<long>(retryAfter);
        char* location = nullptr;
        if (answer.status / 100 != 3 || curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
            !location)
            return 0;
        // A database answers for itself: another host could serve anything.
        if (hostOf(location) != host) {
            reason = "redirected to another host";
            return 1;
        }
        target = location;
    }
    reason = "too many redirects";
    return 1;
}
