#include "engine/verify/databaselookup.h"

#include <cstdlib>

namespace {

constexpr const char* kUserAgent = "VOLTA/2.80";

}  // namespace

std::string DatabaseLookup::line() const {
    switch (status) {
    case Found:
        return "AccurateRip: disc found in database (" + std::to_string(answer.submissions) + " submissions)";
    case NotFound: return "AccurateRip: disc not in database";
    case Unusable: return "AccurateRip: unusable answer (" + reason + ")";
    default: return "AccurateRip: database unreachable (" + reason + ")";
    }
}

DatabaseLookup judgeDatabaseReply(int fetched, const HttpAnswer& answer, const std::string& reason,
                                  const AccurateRipId& id) {
    DatabaseLookup lookup;
    if (fetched != 0) {
        lookup.reason = reason.empty() ? "no answer" : reason;
        return lookup;
    }
    if (answer.status == 404) {
        lookup.status = DatabaseLookup::NotFound;
        return lookup;
    }
    lookup.status = DatabaseLookup::Unusable;
    if (answer.status != 200) {
        lookup.reason = "HTTP status " + std::to_string(answer.status);
        return lookup;
    }
    const auto* body = reinterpret_cast<const uint8_t*>(answer.body.data());
    if (parseDatabaseAnswer(body, answer.body.size(), id, lookup.answer, lookup.reason) == 0)
        lookup.status = DatabaseLookup::Found;
    return lookup;
}

DatabaseLookup lookUpDisc(const AccurateRipId& id) {
    const char* configured = std::getenv("VOLTA_ACCURATERIP_URL");
    std::string base = configured && *configured ? configured : kDefaultAccurateRipUrl;
    while (!base.empty() && base.back() == '/') base.pop_back();
    HttpAnswer answer;
    std::string reason;
    int fetched = httpGet(base + "/" + id.databasePath(), kUserAgent, HttpLimits{}, answer, reason);
    return judgeDatabaseReply(fetched, answer, reason, id);
}
