#pragma once

// Encoded files read back by the ffprobe and ffmpeg programs, and measures
// of how faithfully they hold their source.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where a command-line tool (ffmpeg, flac, ...) is installed; the bare name
// when it is in none of the usual folders.
std::string toolPath(const char* name);

struct StreamInfo {
    std::string codec;
    int sampleRate = 0;
    int channels = 0;
    long long bitRate = 0;
    double startSeconds = 0;     // the decoder's skip at the start
    double durationSeconds = 0;  // start included
};

// The first audio stream of `path`; fields stay empty when it has none.
StreamInfo probe(const std::string& path);

// The raw samples of a FLAC file as the flac program decodes them; none
// when it refuses the file.
std::optional<std::string> flacSamples(const std::string& path);

// The file decoded to 16-bit samples at 44100 Hz with `channels` channels,
// interleaved.
std::vector<int16_t> decode(const std::string& path, int channels);

// Little-endian 16-bit samples held in `bytes`.
std::vector<int16_t> pcmSamples(const std::string& bytes);

enum class Downmix { Average, Left, Right };

// Interleaved stereo made mono as the downmix switches do it.
std::vector<int16_t> downmixed(const std::vector<int16_t>& stereo, Downmix mode);

struct Match {
    int lag = 0;               // decoded frame d holds source frame d - lag
    double correlation = 0;    // over the frames both hold, all channels
};

// The lag within [-maxLag, maxLag] frames at which `decoded` best follows
// `source`, both interleaved with `channels` channels.
Match bestMatch(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
                int maxLag);
