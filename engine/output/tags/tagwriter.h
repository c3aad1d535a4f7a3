#pragma once

#include "engine/output/tags/tracktags.h"

// TagLib would add a sixth to the memory of every run, so the writer over
// it is a module beside the program that only a run that tags such a file
// loads.
constexpr const char* kTagModule = "volta_tags.so";

// Writes `tags` into the finished file at `path` (a path on disk) in the
// format `kind`, leaving the audio and any other tag alone. 0 on success;
// otherwise `reason` says why in a few words.
int writeRichTags(const char* path, RichTags kind, const TrackTags& tags, std::string& reason);

// The module's entry point, as writeRichTags finds it.
using WriteTagsFunction = int (*)(const char* path, RichTags kind, const TrackTags& tags);
constexpr const char* kWriteTagsSymbol = "voltaWriteTags";
