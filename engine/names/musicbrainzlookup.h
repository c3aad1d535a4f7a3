#pragma once

#include "engine/drive/cddrive.h"

constexpr const char* kDefaultMusicBrainzUrl = "https://musicbrainz.org/ws/2";

// Names the drive's disc from the MusicBrainz database, or from the answer
// kept from an earlier run, taking release `releaseNumber` (from 1) when
// several match. 0 when the names were filled in; otherwise 1, the drive's
// names untouched and the reason said in one line.
int musicBrainzLookup(CdDrive& drive, int releaseNumber);
