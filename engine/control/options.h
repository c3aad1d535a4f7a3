#pragma once

#include "engine/drive/drivefamily.h"
#include "engine/output/encoderkind.h"

#include <cstddef>
#include <string>

// One list item of the command line.
struct Job {
    int first = 0;
    int last = 0;
    int kind = 0;  // see JobKind
};

enum JobKind { TrackRange = 1, SectorRange = 2, WholeDisc = 3, AllAudioTracks = 4 };

struct EqBand {
    double centre = 0.0;
    double width = 0.0;
    double gain = 0.0;
    unsigned char widthKind = 0;  // 0 octaves (/fp), 1 Q (/ft)
};

enum GlobalMode { Standalone = 0, DistributedClient = 1, DistributedServer = 2 };

constexpr int kTextCapacity = 128;
constexpr int kExtensionCapacity = 32;
constexpr int kCacheNameCapacity = 1024;
constexpr int kFileSpecCapacity = 256;
constexpr int kMaxJobs = 128;
constexpr int kMaxFileSpecs = 64;
constexpr int kMaxEqBands = 100;

// The engine's configuration, filled once at start-up from the VOLTA
// environment string and then the command line.
struct Options {
    // Global mode and queue
    int globalMode = Standalone;
    char serverName[kTextCapacity] = {};
    int serverPort = 9999;
    int queuePriority = 0;  // a Windows thread priority value
    char progressChar = '.';
    bool deviceScan = false;

    // Drive and extraction
    DriveFamily driveType = DriveFamily::Automatic;
    int scsiHost = -1;
    int scsiTarget = -1;
    int scsiLun = -1;
    int extractMode = 0;  // 0 burst, 1 normal, 2 sync, 3 memory
    int readRetries = 5;
    int readOffset = 0;  // the drive's read offset in samples, corrected while reading
    bool verify = false;  // AccurateRip checksums, rip log and cue sheet

    // Filters and effects
    double preampGain = 0.0;
    bool karaoke = false;
    bool normalize = false;
    bool reverb = false;
    bool spread = false;
    double spreadAmount = 0.0;
    bool compress = false;
    double compressAmount = 0.0;
    bool lowPass = false;
    double lowPassCutoff = 8000.0;
    bool highPass = false;
    double highPassCutoff = 2000.0;
    bool highShelf = false;
    double highShelfFreq = 0.0;
    double highShelfGain = 0.0;
    bool lowShelf = false;
    double lowShelfFreq = 0.0;
    double lowShelfGain = 0.0;
    EqBand eqBands[kMaxEqBands] = {};
    int eqBandCount = 0;
    bool downmix = false;
    int downmixMode = 0;  // 0 mix, 1 left only, 2 right only

    // Silence
    bool trimLeading = false;
    bool trimTrailing = false;
    double padLeadingSeconds = 0.0;
    double padTrailingSeconds = 0.0;

    // Encoders and output
    bool useAcm = false;
    EncoderKind encoder = EncoderKind::Wave;
    int bitrate = 128000;
    int flacLevel = 5;          // /ec0 .. /ec8
    int opusBitrate = 160000;   // /eo6 .. /eo510, in kbps times 1000
    const char* encoderExtraArgument = nullptr;  // "-l" after /ef
    bool id3Tagging = false;
    bool suppressHeader = false;
    char outputExtension[kExtensionCapacity] = ".wav";

    // Files, naming and CDDB
    bool cddbEnabled = false;
    char cddbUserAddress[kTextCapacity] = {};
    char cddbServer[kTextCapacity] = {};
    int cddbTryCount = 5;
    bool cacheEnabled = false;
    char cacheFileName[kCacheNameCapacity] = {};
    int musicBrainzRelease = 0;  // which release of a MusicBrainz lookup names the disc; 0: no lookup
    char alternateBasename[kTextCapacity] = {};
    char basename[kTextCapacity] = {};
    Job jobs[kMaxJobs] = {};
    int jobCount = 0;
    char fileSpecs[kMaxFileSpecs][kFileSpecCapacity] = {};
    int fileSpecCount = 0;

    // CD and monitors
    bool cdPlayerMode = false;
    bool playWhileExtracting = false;
    bool audioBreaker = false;
    bool spectrum = false;
    bool oscilloscope = false;
    bool listToc = false;

    Options();  // sets the built-in CDDB user address and server
};

extern Options options;

constexpr const char* kDefaultCddbServer = "gnudb.gnudb.org";
constexpr const char* kDefaultCddbUserAddress = "volta@localhost";
constexpr int kDefaultCddbPort = 8880;

// What parsing asks of main: go on, or print `output` as it stands and end
// the process with `exitCode`.
struct ParseResult {
    bool stop = false;
    int exitCode = 0;
    std::string output;
};

// Walks arguments 1..count-1 into `options`; argument 0 is never read.
// Stops at the first error or help page; messages that do not stop the
// run (such as the one of /=) are collected in `output` as well.
ParseResult parseArguments(int count, const char* const* arguments);

constexpr int kEnvironmentCapacity = 1024;  // 1023 characters and the NUL
constexpr int kMaxEnvironmentTokens = 99;

// The VOLTA environment string split into arguments. Slot 0 stays empty
// (the program name's slot); the tokens point into `buffer`.
struct EnvironmentTokens {
    char buffer[kEnvironmentCapacity] = {};
    const char* arguments[kMaxEnvironmentTokens + 1] = {};
    int count = 0;  // tokens in slots 1..count
};

// Splits `text` as the VOLTA variable is split: blanks and tabs separate,
// a double quote starts a token that runs to the next double quote. Text
// past 1023 characters and tokens past the 99th are dropped.
void tokenizeEnvironment(const char* text, EnvironmentTokens& tokens);

// Tokenises `text` and parses the tokens into `options`.
ParseResult parseEnvironmentText(const char* text);

// Tokenises the VOLTA environment variable (if set) and parses the tokens.
ParseResult parseEnvironmentString();

// True when some argument 1..count-1 is exactly "//", which keeps the
// environment string from being read.
bool environmentSwitchedOff(int count, const char* const* arguments);
