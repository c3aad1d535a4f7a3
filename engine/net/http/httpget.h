#pragma once

#include <cstddef>
#include <string>

// What one request may cost: databases are asked before or during a rip,
// which must never wait on them for long.
struct HttpLimits {
    long connectSeconds = 10;
    long totalSeconds = 30;  // the whole answer, redirects included
    std::size_t maxBytes = std::size_t{1} << 20;
};

struct HttpAnswer {
    long status = 0;  // of the last answer, after redirects
    std::string body;
    long retryAfterSeconds = -1;  // from a Retry-After header; -1 when none
};

constexpr const char* kHttpModule = "volta_http.so";

// GETs `url` (http or https) sending `userAgent`. 0 when an HTTP answer
// arrived whole within `limits`, whatever its status; otherwise 1, with
// `reason` saying why in a few words. Redirects are followed to the same
// host only; no compressed answer is asked for, so `maxBytes` bounds what
// a caller gets to parse. libcurl lives in the module kHttpModule, so only
// runs that ask a database map it.
int httpGet(const std::string& url, const std::string& userAgent, const HttpLimits& limits, HttpAnswer& answer,
            std::string& reason);

// The module's entry point, as httpGet finds it.
using HttpGetFunction = int (*)(const std::string& url, const std::string& userAgent, const HttpLimits& limits,
                                HttpAnswer& answer, std::string& reason);
constexpr const char* kHttpGetSymbol = "voltaHttpGet";
