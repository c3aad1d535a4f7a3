#pragma once

#include "engine/net/http/httpget.h"
#include "engine/verify/databaseanswer.h"
#include "engine/verify/discid.h"

#include <string>

// What the AccurateRip database said about a disc.
struct DatabaseLookup {
    enum Status { Found, NotFound, Unreachable, Unusable };
    Status status = Unreachable;
    std::string reason;  // for Unreachable and Unusable
    DatabaseAnswer answer;  // for Found

    // "AccurateRip: disc found in database (N submissions)" and the others.
    std::string line() const;
};

constexpr const char* kDefaultAccurateRipUrl = "http://www.accuraterip.com/accuraterip";

// The outcome of an exchange with the database: `fetched` and `reason` as
// httpGet returned them.
DatabaseLookup judgeDatabaseReply(int fetched, const HttpAnswer& answer, const std::string& reason,
                                  const AccurateRipId& id);

// Asks the database ($VOLTA_ACCURATERIP_URL, else kDefaultAccurateRipUrl)
// for the disc's file, within the bounds of HttpLimits.
DatabaseLookup lookUpDisc(const AccurateRipId& id);
