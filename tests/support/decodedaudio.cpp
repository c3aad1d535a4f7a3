#include "tests/support/decodedaudio.h"

#include "tests/support/runvolta.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

std::string toolPath(const char* name) {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        std::string path = std::string(dir) + name;
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            std::fclose(file);
            return path;
        }
    }
    return name;
}

namespace {

// Over source frames [first, end).
double correlationAt(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
                     int lag, long long first, long long end) {
    const long long decodedFrames = static_cast<long long>(decoded.size()) / channels;
    end = std::min(end, static_cast<long long>(source.size()) / channels);
    double sd = 0, ss = 0, dd = 0;
    for (long long f = first; f < end; ++f) {
        const long long d = f + lag;
        if (d < 0 || d >= decodedFrames) continue;
        for (int c = 0; c < channels; ++c) {
            const double a = source[f * channels + c], b = decoded[d * channels + c];
            sd += a * b;
            ss += a * a;
            dd += b * b;
        }
    }
    return ss > 0 && dd > 0 ? sd / std::sqrt(ss * dd) : 0;
}

}  // namespace

StreamInfo probe(const std::string& path) {
    const RunResult result =
        runProgram({toolPath("ffprobe"), "-v", "error", "-select_streams", "a:0", "-show_entries",
                    "stream=codec_name,sample_rate,channels,bit_rate:format=start_time,duration", "-of",
                    "default=noprint_wrappers=1", path});
    StreamInfo info;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "codec_name") info.codec = value;
        if (key == "sample_rate") info.sampleRate = std::atoi(value.c_str());
        if (key == "channels") info.channels = std::atoi(value.c_str());
        if (key == "bit_rate") info.bitRate = std::atoll(value.c_str());
        if (key == "start_time") info.startSeconds = std::atof(value.c_str());
        if (key == "duration") info.durationSeconds = std::atof(value.c_str());
    }
    return info;
}

std::optional<std::string> flacSamples(const std::string& path) {
    const std::string raw = path + ".raw";
    const RunResult result = runProgram({toolPath("flac"), "-d", "-s", "-f", "--force-raw-format", "--endian=little",
                                         "--sign=signed", "-o", raw, path});
    if (result.exitCode != 0) return std::nullopt;
    std::string samples = readFile(raw);
    std::remove(raw.c_str());
    return samples;
}

std::vector<int16_t> decode(const std::string& path, int channels) {
    const std::string raw = path + ".decoded.raw";
    runProgram({toolPath("ffmpeg"), "-v", "error", "-y", "-i", path, "-f", "s16le", "-ar", "44100", "-ac",
                std::to_string(channels), raw});
    std::vector<int16_t> samples = pcmSamples(readFile(raw));
    std::remove(raw.c_str());
    return samples;
}

std::vector<int16_t> pcmSamples(const std::string& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
}

std::vector<int16_t> downmixed(const std::vector<int16_t>& stereo, Downmix mode) {
    std::vector<int16_t> mono(stereo.size() / 2);
    for (size_t f = 0; f < mono.size(); ++f) {
        const int left = stereo[2 * f], right = stereo[2 * f + 1];
        mono[f] = static_cast<int16_t>(mode == Downmix::Left    ? left
                                       : mode == Downmix::Right ? right
                                                                : (left + right) >> 1);
    }
    return mono;
}

Match bestMatch(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded, int channels,
                int maxLag) {
    // The lag is found on a stretch of the source, then measured over all of it.
    constexpr long long kStretchFrames = 4096;
    Match best;
    best.correlation = -2;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        const double c = correlationAt(source, decoded, channels, lag, maxLag, maxLag + kStretchFrames);
        if (c > best.correlation) best = {lag, c};
    }
    best.correlation = correlationAt(source, decoded, channels, best.lag, 0, static_cast<long long>(source.size()));
    return best;
}
