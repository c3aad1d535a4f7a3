// Writes PLUMA's end-of-run sound: a two-note chime, half a second of
// 8-bit mono PCM at 22050 Hz in a RIFF WAVE file named by the argument.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr int kSamples = kRate / 2;
constexpr double kPi = 3.14159265358979323846;

struct Note {
    double frequency;
    double start;  // seconds
};

void put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makechime FILE\n");
        return 1;
    }
    const Note notes[] = {{1318.51, 0.0}, {1046.50, 0.16}};
    std::vector<uint8_t> samples(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        double t = static_cast<double>(i) / kRate;
        double sum = 0;
        for (const Note& note : notes) {
            double since = t - note.start;
            if (since < 0) continue;
            double envelope = std::min(1.0, since * 400.0) * std::exp(-since * 9.0);
            sum += envelope * (std::sin(2 * kPi * note.frequency * since) +
                               0.3 * std::sin(4 * kPi * note.frequency * since));
        }
        // Unsigned 8-bit: silence is 128; the tail fades to it.
        double fade = std::min(1.0, (kSamples - i) / 400.0);
        samples[i] = static_cast<uint8_t>(std::lround(128.0 + 70.0 * fade * sum / 1.3));
    }
    std::string file = "RIFF";
    put32(file, 36 + kSamples);
    file += "WAVEfmt ";
    put32(file, 16);
    put16(file, 1);      // PCM
    put16(file, 1);      // mono
    put32(file, kRate);
    put32(file, kRate);  // bytes a second
    put16(file, 1);      // block align
    put16(file, 8);      // bits a sample
    file += "data";
    put32(file, kSamples);
    file.append(samples.begin(), samples.end());
    std::ofstream out(argv[1], std::ios::binary);
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "makechime: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
