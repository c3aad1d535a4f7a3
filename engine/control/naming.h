#pragma once

#include <string>

// The output name for a job: `index` is the track number (0 for ranges and
// the whole disc), `lengthSectors` the job's length. No extension.
std::string formatName(const char* nameTemplate, int index, int lengthSectors);

// "%d.%02d" minutes and seconds, and "%02d:%02d.%02d" minutes, seconds and
// frames, of a count of sectors.
const char* formatTrackTime(int sectors);
const char* formatMsf(int sectors);

// Names write sub-directories as "dir\name"; this is the path to open.
std::string pathOnDisk(const char* name);
