#pragma once

#include <cstddef>
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

// Linux file systems hold names of at most this many bytes.
constexpr size_t kMaxFileNameBytes = 255;

// Cuts every part of `name` that is too long for the file system, between
// characters; the last part keeps room for an extension of
// `extensionBytes`. True when anything was cut.
bool fitFileName(std::string& name, size_t extensionBytes);

// The output name of a job: `name` cut to fit with `suffix`, the
// extension the output adds and the partial suffix it is written under,
// with a line that says so when it was cut.
std::string fitOutputName(std::string name, const std::string& suffix = "");
