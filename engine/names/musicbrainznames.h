#pragma once

#include "engine/cddb/discnames.h"
#include "engine/drive/disclayout.h"
#include "engine/names/json/musicbrainzanswer.h"

#include <string>

// The names one release gives the disc whose first session is `session`,
// written over `names` (empty texts leave the defaults). 0, or 1 with
// `reason` when the release cannot name every track of the disc.
int namesFromRelease(const MusicBrainzRelease& release, const DiscLayout& session, DiscNames& names,
                     std::string& reason);

// The release as the list of matches shows it: "1) Artist - Title (2007,
// GB, barcode 0123...)", without a line end, the chosen one marked.
std::string releaseLine(const MusicBrainzRelease& release, int number, bool chosen);
