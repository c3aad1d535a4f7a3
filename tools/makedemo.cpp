// Writes the demo disc: demo.cue and demo.bin in the folder given as the
// only argument. Four short pieces of synthesised music with CD-TEXT, so
// the demo shows names, lengths and a listing without any real disc.

#include "engine/common/byteorder.h"
#include "engine/common/msf.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kFramesPerSector = 588;
constexpr double kPi = 3.14159265358979323846;

struct Piece {
    const char* title;
    double seconds;
    double tempo;            // beats a minute
    int root;                // MIDI note of the key
    std::vector<int> steps;  // melody, in scale degrees
    double pan;              // -1 left .. 1 right
};

double noteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Major pentatonic: pleasant whatever order the degrees come in.
int scaleNote(int root, int degree) {
    static const int kPentatonic[] = {0, 2, 4, 7, 9};
    int octave = degree >= 0 ? degree / 5 : (degree - 4) / 5;
    return root + 12 * octave + kPentatonic[degree - octave * 5];
}

// A plucked tone: a few harmonics under a fast attack and slow decay.
double pluck(double frequency, double t) {
    if (t < 0) return 0;
    double envelope = std::min(1.0, t * 200.0) * std::exp(-t * 3.0);
    double tone = std::sin(2 * kPi * frequency * t) + 0.4 * std::sin(4 * kPi * frequency * t) +
                  0.15 * std::sin(6 * kPi * frequency * t);
    return envelope * tone;
}

// A slow pad under the melody: the root triad of the bar.
double pad(int root, double t) {
    double sum = 0;
    for (int interval : {0, 4, 7})
        sum += std::sin(2 * kPi * noteFrequency(root + interval - 12) * t);
    return sum / 3.0 * (0.6 + 0.4 * std::sin(2 * kPi * 0.25 * t));
}

std::vector<int16_t> render(const Piece& piece) {
    int frames = static_cast<int>(piece.seconds * kRate);
    frames += (kFramesPerSector - frames % kFramesPerSector) % kFramesPerSector;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    double beat = 60.0 / piece.tempo;
    static const int kChordRoots[] = {0, 5, 7, 5};
    for (int i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / kRate;
        int beatIndex = static_cast<int>(t / beat);
        double sinceBeat = t - beatIndex * beat;
        int note = scaleNote(piece.root, piece.steps[beatIndex % piece.steps.size()]);
        int previous = scaleNote(
            piece.root, piece.steps[(beatIndex + piece.steps.size() - 1) % piece.steps.size()]);
        double melody = pluck(noteFrequency(note), sinceBeat) +
                        0.5 * pluck(noteFrequency(previous), sinceBeat + beat);
        int bar = beatIndex / 4;
        double harmony = pad(piece.root + kChordRoots[bar % 4], t);
        double bass =
            0.6 * pluck(noteFrequency(piece.root + kChordRoots[bar % 4] - 24), t - bar * 4 * beat);
        // Fade in and out so the tracks start and end quietly.
        double fade = std::min({1.0, t * 2.0, (piece.seconds - t) * 1.0});
        fade = std::max(fade, 0.0);
        double left = 0.35 * melody * (1 - piece.pan) + 0.2 * harmony + 0.3 * bass;
        double right = 0.35 * melody * (1 + piece.pan) + 0.2 * harmony + 0.3 * bass;
        samples[2 * i] = static_cast<int16_t>(std::lround(8000.0 * fade * left));
        samples[2 * i + 1] = static_cast<int16_t>(std::lround(8000.0 * fade * right));
    }
    return samples;
}

std::string msf(int sectors) {
    Msf msf = msfOfSectors(sectors);
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", msf.minutes, msf.seconds, msf.frames);
    return text;
}

void putLittleEndian(std::vector<char>& out, int16_t sample) {
    uint8_t bytes[2];
    putLittleEndian16(bytes, static_cast<uint16_t>(sample));
    out.insert(out.end(), bytes, bytes + 2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedemo FOLDER\n");
        return 1;
    }
    std::string folder = argv[1];
    const std::vector<Piece> pieces = {
        {"Morning Arpeggio", 14.0, 120, 60, {0, 2, 4, 5, 4, 2, 0, 1}, -0.3},
        {"Pentatonic Walk", 17.0, 100, 62, {0, 1, 2, 3, 4, 3, 5, 4, 2, 1}, 0.3},
        {"Slow Chords", 12.0, 72, 57, {4, 2, 0, 2, 3, 1}, 0.0},
        {"Bells at Dusk", 18.0, 132, 65, {5, 7, 6, 4, 5, 3, 2, 0}, -0.1},
    };
    std::string sheet =
        "PERFORMER \"VOLTA Synth Ensemble\"\n"
        "TITLE \"Demo Disc\"\n"
        "FILE \"demo.bin\" BINARY\n";
    std::vector<char> image;
    long sector = 0;
    for (size_t k = 0; k < pieces.size(); ++k) {
        char number[24];
        std::snprintf(number, sizeof number, "%02d", static_cast<int>(k + 1));
        sheet += std::string("  TRACK ") + number + " AUDIO\n";
        sheet += std::string("    TITLE \"") + pieces[k].title + "\"\n";
        sheet += "    PERFORMER \"VOLTA Synth Ensemble\"\n";
        sheet += "    INDEX 01 " + msf(sector) + "\n";
        std::vector<int16_t> samples = render(pieces[k]);
        for (int16_t s : samples) putLittleEndian(image, s);
        sector += static_cast<long>(samples.size() / 2 / kFramesPerSector);
    }
    std::ofstream bin(folder + "/demo.bin", std::ios::binary);
    bin.write(image.data(), static_cast<std::streamsize>(image.size()));
    std::ofstream cue(folder + "/demo.cue", std::ios::binary);
    cue << sheet;
    // The last buffered bytes go out at close: only then is a full disk seen.
    bin.close();
    cue.close();
    if (!bin || !cue) {
        std::fprintf(stderr, "makedemo: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
