#include "engine/verify/riprecord.h"

#include "engine/common/msf.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string cueTime(int sectors) {
    Msf msf = msfOfSectors(sectors);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", msf.minutes, msf.seconds, msf.frames);
    return text;
}

// A double quote inside would end the text early.
std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (char c : text) result += c == '"' ? '\'' : c;
    return result + "\"";
}

const char* typeWord(RippedFile::Type type) {
    switch (type) {
    case RippedFile::Wave: return "WAVE";
    case RippedFile::Binary: return "BINARY";
    default: return "MP3";
    }
}

bool holds(const RippedFile& file, int sector) { return sector >= file.firstSector && sector < file.endSector; }

// The files a cue sheet can name: written, whole, and in disc order
// without overlapping one another.
std::vector<const RippedFile*> filesInDiscOrder(const RipRecord& record) {
    std::vector<const RippedFile*> files;
    for (const RippedFile& file : record.files) {
        if (file.type == RippedFile::None || !file.whole || file.endSector <= file.firstSector) continue;
        auto at = files.begin();
        while (at != files.end() && (*at)->firstSector < file.firstSector) ++at;
        bool overlaps = (at != files.begin() && (*(at - 1))->endSector > file.firstSector) ||
                        (at != files.end() && (*at)->firstSector < file.endSector);
        if (!overlaps) files.insert(at, &file);
    }
    return files;
}

class CueComposer {
public:
    explicit CueComposer(const RipRecord& record) : record_(record), files_(filesInDiscOrder(record)) {}

    std::string compose() {
        if (record_.named) {
            text_ += "PERFORMER " + quoted(record_.discArtist) + "\n";
            text_ += "TITLE " + quoted(record_.discTitle) + "\n";
        }
        for (size_t f = 0; f < files_.size(); ++f) {
            text_ += "FILE " + quoted(files_[f]->name) + " " + typeWord(files_[f]->type) + "\n";
            for (const RipTocEntry& track : record_.toc)
                if (isAudio(track) && holds(*files_[f], track.start)) startTrack(track, f);
            if (f + 1 < files_.size()) announceNext(f);
        }
        return text_;
    }

private:
    static bool isAudio(const RipTocEntry& track) { return !(track.control & 0x04); }

    void header(const RipTocEntry& track) {
        char line[32];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n", track.number);
        text_ += line;
        if (record_.named) {
            std::string title = record_.titleOf(track.number);
            if (!title.empty()) text_ += "    TITLE " + quoted(title) + "\n";
            if (!record_.discArtist.empty()) text_ += "    PERFORMER " + quoted(record_.discArtist) + "\n";
        }
        if (track.control & 0x03) {
            text_ += "    FLAGS";
            if (track.control & 0x02) text_ += " DCP";
            if (track.control & 0x01) text_ += " PRE";
            text_ += "\n";
        }
    }

    void index(int number, int sectors) {
        char line[32];
        std::snprintf(line, sizeof line, "    INDEX %02d ", number);
        text_ += line + cueTime(sectors) + "\n";
    }

    void startTrack(const RipTocEntry& track, size_t f) {
        const RippedFile& file = *files_[f];
        if (announced_ != track.number) {
            header(track);
            // What of the pre-gap no file holds is silence.
            int gapStart = track.start - track.pregap;
            int held = track.start - std::max(gapStart, file.firstSector);
            if (track.pregap > held) text_ += "    PREGAP " + cueTime(track.pregap - held) + "\n";
            if (held > 0) index(0, track.start - held - file.firstSector);
        }
        index(1, track.start - file.firstSector);
    }

    // A pre-gap at the end of this file belongs to the next file's first track.
    void announceNext(size_t f) {
        const RippedFile& file = *files_[f];
        const RippedFile& next = *files_[f + 1];
        if (file.endSector != next.firstSector) return;
        for (const RipTocEntry& track : record_.toc) {
            if (!isAudio(track) || !holds(next, track.start)) continue;
            if (track.start == next.firstSector && track.pregap > 0 && holds(file, track.start - track.pregap)) {
                header(track);
                index(0, track.start - track.pregap - file.firstSector);
                announced_ = track.number;
            }
            return;
        }
    }

    const RipRecord& record_;
    std::vector<const RippedFile*> files_;
    std::string text_;
    int announced_ = -1;
};

}  // namespace

std::string composeCueSheet(const RipRecord& record) { return CueComposer(record).compose(); }
