#include "engine/net/http/httpget.h"

#include "engine/common/loadedmodule.h"

int httpGet(const std::string& url, const std::string& userAgent, const HttpLimits& limits, HttpAnswer& answer,
            std::string& reason) {
    answer = HttpAnswer{};
    auto get = reinterpret_cast<HttpGetFunction>(loadedModuleFunction(kHttpModule, kHttpGetSymbol, &reason));
    if (!get) return 1;
    return get(url, userAgent, limits, answer, reason);
}
