#pragma once

#include "engine/drive/cddrive.h"


// The names a lookup works on. It starts from the drive's names and hands
// them back only when the lookup succeeds, so a failed or broken lookup
// never leaves half an entry behind.
struct DiscNames {
    char discTitle[kNameCapacity] = {};
    char discArtist[kNameCapacity] = {};
    char trackTitles[kMaxTracks][kNameCapacity] = {};  // slot k: track k+1
    char discYear[kYearCapacity] = {};
    char discGenre[kNameCapacity] = {};
};

void namesFromDrive(const CdDrive& drive, DiscNames& names);
void namesToDrive(const DiscNames& names, CdDrive& drive);
