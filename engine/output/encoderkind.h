#pragma once

#include "engine/output/tags/tracktags.h"

// The values of `Options::encoder`, as /e? and /oo set them.
enum class EncoderKind : int {
    NoOutput = -1,
    Wave = 0,
    BladeEnc = 1,
    X3encCbr = 2,
    L3enc = 3,
    X3encVbr = 4,
    WindowsMedia = 5,
    Flac = 6,
    Opus = 7,
};

// What the chain assembly puts at the end of a job's chain.
enum class EncoderStage {
    WaveFile,       // the job's own file, under the output extension
    NullSink,       // nothing is written
    ProgramInput,   // a temporary WAV file that the program encodes afterwards
    Mp3Library,     // the MP3 encoder library, behind a downmixer for mono
    WindowsMediaWriter,
    FlacLibrary,    // libFLAC, behind a downmixer for mono
    OpusLibrary,    // libopusenc, behind a downmixer for mono
};

// What the digits after the sub-letter of /e set.
enum class EncoderSetting {
    Bitrate,      // `Options::bitrate` in kbps, taken as it stands
    FlacLevel,    // `Options::flacLevel`, refused outside the row's range
    OpusBitrate,  // `Options::opusBitrate` in kbps, refused outside the row's range
};

struct EncoderInfo {
    EncoderKind kind;
    char letter;            // the sub-letter of /e, 0 for none
    const char* extension;  // of the final file; none for the output extension
    const char* program;    // the external program, none for the built-in ones
    EncoderStage stage;
    EncoderSetting setting;
    int lowest, highest;  // the values a checked setting accepts
    RichTags tags;        // what /i writes into the finished file
    bool id3v1;           // and whether the ID3v1 tag is appended to it
};

// The row of `kind`; every kind has one.
const EncoderInfo& encoderInfo(EncoderKind kind);

// The row chosen by /e`letter` (lower case), or none.
const EncoderInfo* encoderForLetter(char letter);

// True for the kinds served by an external program.
bool isExternalEncoder(EncoderKind kind);
