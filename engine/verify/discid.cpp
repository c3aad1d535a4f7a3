#include "engine/verify/discid.h"

#include "engine/cddb/cddbclient.h"

#include <cstdio>

AccurateRipId accurateRipId(const DiscLayout& layout) {
    AccurateRipId id;
    uint32_t number = 0;
    for (int track = layout.firstTrack; track <= layout.lastTrack; ++track) {
        if (layout.trackControl[track] & kControlData) continue;
        ++number;
        uint32_t start = static_cast<uint32_t>(layout.trackStart[track]);
        id.id1 += start;
        id.id2 += (start == 0 ? 1u : start) * number;
    }
    uint32_t leadOut = static_cast<uint32_t>(layout.leadOut);
    id.id1 += leadOut;
    id.id2 += leadOut * (number + 1);
    id.audioTracks = static_cast<int>(number);
    id.cddb = cddbDiscId(layout);
    return id;
}

std::string AccurateRipId::text() const {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%03d-%08x-%08x-%08x", audioTracks, id1, id2, cddb);
    return buffer;
}

std::string AccurateRipId::databasePath() const {
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%x/%x/%x/dBAR-%s.bin", id1 & 0xF, id1 >> 4 & 0xF, id1 >> 8 & 0xF,
                  text().c_str());
    return buffer;
}
