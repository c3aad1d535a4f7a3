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

// Appends the entry. A file that cannot be opened, or is not a regular
// file, is skipped (0); a write that fails or falls short is cut back to
// the old end of the file and gives -1. An entry with a name that reads as
// a key is not cached.
int appendCacheEntry(const char* fileName, const char* queryLine, const DiscNames& names, int firstTrack,
                      int lastTrack);
