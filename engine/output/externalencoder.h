#pragma once

#include "engine/output/encoderkind.h"

#include <string>
#include <vector>

// The MP3 encoder programs x3enc.exe (/ex, /ev) and l3enc.exe (/el). The
// chain writes a temporary WAV file; after the chain is closed the program
// turns it into the job's MP3 file.

// The program's arguments for `encoder`, its own name first.
std::vector<std::string> encoderCommandLine(EncoderKind encoder, const char* waveName,
                                            const char* mp3Name);

// Starts the program named by arguments[0] from the current directory (no
// search path, no shell) and waits for it; `waitStatus` tells how it ended.
// 0 when it ran, whatever its exit status; non-zero when it could not be
// started.
int runEncoderProgram(const std::vector<std::string>& arguments, int& waitStatus);

// The step after a job or a re-processed file: encodes the temporary WAV
// file into `name` with the encoder's extension and removes the temporary
// files. When the audio is `whole` and the program wrote its file and
// exited with 0, the file replaces any older one of that name and becomes
// the current output name; 0 is returned. Otherwise the current output name
// is cleared, whatever the program wrote is kept under the partial name,
// and 1 is returned; a failing program is reported in one line with its
// name and how it ended.
int encodeToMp3(const char* name, bool whole);

// Removes the temporary files of a job that failed before encoding.
void discardTemporaryFiles();

// The same when a signal ends the run, from inside its handler: stops an
// encoder program that is still running (it would write its file after
// ours are gone), then removes the files. Async-signal-safe.
void discardTemporaryFilesOnSignal();
