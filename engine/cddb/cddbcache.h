#pragma once

#include "engine/cddb/discnames.h"

#include <cstdio>

// The local cache: a text file of entries, appended to and never rewritten.
// An entry is the disc's query line (the key), the disc title, the artist,
// "first last" track numbers and one name line per track.

constexpr int kCacheLineBytes = 4096;  // 4095 characters and the NUL

// Searches an open cache for the entry whose key is `queryLine`. When found
// (0), the entry's names replace those in `names` for the tracks the entry
// itself lists; otherwise (non-zero) `names` is unchanged.
int readCacheEntry(std::FILE* cache, const char* queryLine, DiscNames& names);

// The same on the named file; a file that cannot be opened holds nothing.
int findCacheEntry(const char* fileName, const char* queryLine, DiscNames& names);

// Appends the entry; a file that cannot be written is skipped silently.
void appendCacheEntry(const char* fileName, const char* queryLine, const DiscNames& names, int firstTrack,
                      int lastTrack);
