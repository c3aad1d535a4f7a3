#pragma once

#include "engine/output/tags/tracktags.h"

class CdDrive;

// The tags of the file of track `track` of the disc in `drive` (below 1:
// a range or the whole disc, which has no title and no number), from the
// names the disc or a database gave, whatever their encoding.
TrackTags tagsForTrack(const CdDrive& drive, int track);
