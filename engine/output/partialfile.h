#pragma once

#include <cstddef>
#include <string>

// An output file is written under its final name followed by ".part" and
// takes the final name only once it is whole, so that a job that fails
// never leaves a file that looks complete, and an older file of that name
// stays until a whole new one replaces it. Names are written as templates
// write them, folders separated by "\".

constexpr const char* kPartialSuffix = ".part";
constexpr std::size_t kPartialSuffixBytes = 5;

std::string partialName(const char* finalName);

// Before a job writes `finalName`: 0 when the final and the partial name
// are free or hold regular files, and the partial file of an earlier run
// is gone. A FIFO would block the output for ever, and a device or a
// folder is no place for a sound file: the job is refused in one line.
int prepareOutputFile(const char* finalName);

// The file at `from` (a name like the others) takes the final name,
// replacing an older file. 0 on success; otherwise one line says so.
int moveToFinalName(const char* from, const char* finalName);

// The file at `from`, when there is one, takes the partial name of
// `finalName`, and one line says so: what a failed job wrote is kept for
// the user to judge, under a name nobody takes for a finished track.
void keepAsPartial(const char* from, const char* finalName);

// From a signal handler that ends the run: the partial file of the output
// in progress (the current output name) takes its final name, as it does
// when the user stops a job with ESC. Async-signal-safe.
void finishOutputOnSignal();
