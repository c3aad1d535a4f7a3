#pragma once

#include "engine/drive/cddrive.h"

#include <cstddef>

// The names a lookup works on. It starts from the drive's names and hands
// them back only when the lookup succeeds, so a failed or broken lookup
// never leaves half an entry behind.
struct DiscNames {
    char discTitle[kNameCapacity] = {};
    char discArtist[kNameCapacity] = {};
    char trackTitles[kMaxTracks][kNameCapacity] = {};  // slot k: track k+1
};

// Stores `length` bytes of `text` as a name: cut to the capacity, control
// characters (they would garble the console and break file names) blanked.
void storeName(char (&name)[kNameCapacity], const char* text, std::size_t length);

void namesFromDrive(const CdDrive& drive, DiscNames& names);
void namesToDrive(const DiscNames& names, CdDrive& drive);
