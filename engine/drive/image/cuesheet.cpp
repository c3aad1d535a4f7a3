#include "engine/drive/image/cuesheet.h"

#include "engine/common/msf.h"

#include <cctype>
#include <cstdio>

namespace {

// 100 minutes: beyond any real disc, and every address still fits the
// one-byte minute of an MSF address.
constexpr int kMaxDiscSectors = 100 * kSectorsPerMinute;

constexpr const char* kBlanks = " \t\r\v\f";

std::string upper(std::string_view word) {
    std::string out(word);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Words separated by blanks; a quoted word may hold blanks. 1 for a quote
// that is never closed.
int splitWords(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) return 1;
            words.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        size_t end = i;
        while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
        words.emplace_back(line.substr(i, end - i));
        i = end;
    }
    return 0;
}

int parseNumber(const std::string& word, int low, int high, int& value) {
    if (word.empty() || word.size() > 3) return 1;
    value = 0;
    for (char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 1;
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high ? 0 : 1;
}

// "mm:ss:ff" as a count of sectors.
int parseTime(const std::string& word, int& sectors) {
    int m = 0, s = 0, f = 0;
    size_t first = word.find(':');
    size_t second = first == std::string::npos ? first : word.find(':', first + 1);
    if (second == std::string::npos) return 1;
    if (parseNumber(word.substr(0, first), 0, 999, m) != 0 ||
        parseNumber(word.substr(first + 1, second - first - 1), 0, 59, s) != 0 ||
        parseNumber(word.substr(second + 1), 0, 74, f) != 0)
        return 1;
    sectors = sectorsOfMsf(m, s, f);
    return 0;
}

bool holdsNul(const std::string& word) { return word.find('\0') != std::string::npos; }

std::string trackName(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "TRACK %02d", number % 100);
    return text;
}

class SheetReader {
public:
    SheetReader(CueSheet& sheet, CueError& error) : sheet_(sheet), error_(error) {}

    int read(std::string_view text) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        std::vector<std::string> words;
        int lineNumber = 0;
        while (!text.empty()) {
            // Lines end in LF, CR LF or a lone CR, as different editors write them.
            size_t end = text.find_first_of("\r\n");
            std::string_view line = text.substr(0, end);
            size_t next = end == std::string_view::npos ? text.size() : end + 1;
            if (end != std::string_view::npos && text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
            text.remove_prefix(next);
            line_ = ++lineNumber;
            if (splitWords(line, words) != 0) return fail("a quoted text is not closed");
            if (!words.empty() && command(words, line) != 0) return 1;
        }
        line_ = 0;
        if (sheet_.tracks.empty()) return fail("the sheet has no TRACK");
        for (const CueTrack& track : sheet_.tracks) {
            if (track.index1.file < 0) {
                line_ = track.line;
                return fail(trackName(track.number) + " has no INDEX 01");
            }
        }
        return 0;
    }

private:
    int fail(const std::string& reason) {
        error_.line = line_;
        error_.reason = reason;
        return 1;
    }

    int command(const std::vector<std::string>& words, std::string_view line) {
        std::string keyword = upper(words[0]);
        if (keyword == "FILE") return file(words);
        if (keyword == "TRACK") return track(words);
        if (keyword == "INDEX") return index(words);
        if (keyword == "PREGAP") return pregap(words);
        if (keyword == "POSTGAP") return postgap(words);
        if (keyword == "FLAGS") return flags(words);
        if (keyword == "TITLE") return text(words, line, &CueSheet::title, &CueTrack::title);
        if (keyword == "PERFORMER")
            return text(words, line, &CueSheet::performer, &CueTrack::performer);
        if (keyword == "CDTEXTFILE") {
            if (words.size() < 2) return fail("CDTEXTFILE needs a file name");
            if (holdsNul(words[1])) return fail("the file name holds a NUL byte");
            sheet_.cdTextFile = words[1];
        }
        return 0;
    }

    int file(const std::vector<std::string>& words) {
        if (words.size() < 3) return fail("FILE needs a name and a type");
        // The system would open the name only up to the NUL: another file.
        if (holdsNul(words[1])) return fail("the file name holds a NUL byte");
        CueFile file;
        file.name = words[1];
        file.line = line_;
        std::string type = upper(words[2]);
        if (type == "BINARY")
            file.format = CueFileFormat::Binary;
        else if (type == "MOTOROLA")
            file.format = CueFileFormat::Motorola;
        else if (type == "WAVE")
            file.format = CueFileFormat::Wave;
        else
            return fail("unsupported file type " + words[2]);
        sheet_.files.push_back(file);
        return 0;
    }

    int track(const std::vector<std::string>& words) {
        if (sheet_.files.empty()) return fail("TRACK before any FILE");
        if (words.size() < 3) return fail("TRACK needs a number and a mode");
        CueTrack track;
        if (parseNumber(words[1], 1, 99, track.number) != 0)
            return fail("bad track number " + words[1]);
        if (!sheet_.tracks.empty() && track.number != sheet_.tracks.back().number + 1)
            return fail(trackName(track.number) + " does not follow " +
                        trackName(sheet_.tracks.back().number));
        std::string mode = upper(words[2]);
        if (mode == "MODE1/2352")
            track.data = true;
        else if (mode != "AUDIO")
            return fail("unsupported track mode " + words[2]);
        track.line = line_;
        sheet_.tracks.push_back(track);
        return 0;
    }

    CueTrack* currentTrack(const char* keyword) {
        if (sheet_.tracks.empty()) {
            fail(std::string(keyword) + " before any TRACK");
            return nullptr;
        }
        return &sheet_.tracks.back();
    }

    int index(const std::vector<std::string>& words) {
        CueTrack* track = currentTrack("INDEX");
        if (!track) return 1;
        int number = 0, sectors = 0;
        if (words.size() < 3) return fail("INDEX needs a number and a time");
        if (parseNumber(words[1], 0, 99, number) != 0) return fail("bad index number " + words[1]);
        if (parseTime(words[2], sectors) != 0) return fail("bad time " + words[2]);
        CuePosition position{static_cast<int>(sheet_.files.size()) - 1, sectors, line_};
        if (number == 0) {
            if (track->index0.file >= 0 || track->index1.file >= 0)
                return fail("INDEX 00 must come first and once");
            track->index0 = position;
        } else if (number == 1) {
            if (track->index1.file >= 0) return fail("INDEX 01 given twice");
            track->index1 = position;
        }
        return 0;
    }

    int pregap(const std::vector<std::string>& words) {
        CueTrack* track = currentTrack("PREGAP");
        if (!track) return 1;
        if (words.size() < 2 || parseTime(words[1], track->pregap) != 0)
            return fail("PREGAP needs a time");
        if (track->index0.file >= 0 || track->index1.file >= 0)
            return fail("PREGAP must come before the track's INDEX lines");
        return 0;
    }

    int postgap(const std::vector<std::string>& words) {
        CueTrack* track = currentTrack("POSTGAP");
        if (!track) return 1;
        if (words.size() < 2 || parseTime(words[1], track->postgap) != 0)
            return fail("POSTGAP needs a time");
        return 0;
    }

    int flags(const std::vector<std::string>& words) {
        CueTrack* track = currentTrack("FLAGS");
        if (!track) return 1;
        for (size_t i = 1; i < words.size(); ++i) {
            std::string flag = upper(words[i]);
            if (flag == "DCP") track->flags |= 0x02;
            if (flag == "PRE") track->flags |= 0x01;
        }
        return 0;
    }

    // Many tools write texts without quotes: then the rest of the line is
    // the text, blanks and all.
    int text(const std::vector<std::string>& words, std::string_view line,
             std::string CueSheet::*discField, std::string CueTrack::*trackField) {
        if (words.size() < 2) return fail(upper(words[0]) + " needs a text");
        std::string value = words[1];
        size_t start = line.find_first_not_of(kBlanks, line.find_first_not_of(kBlanks) + words[0].size());
        if (start != std::string_view::npos && line[start] != '"') {
            size_t end = line.find_last_not_of(kBlanks);
            value = line.substr(start, end + 1 - start);
        }
        if (sheet_.tracks.empty())
            sheet_.*discField = value;
        else
            sheet_.tracks.back().*trackField = value;
        return 0;
    }

    CueSheet& sheet_;
    CueError& error_;
    int line_ = 0;
};

// Files placed one after the other, with every PREGAP's silence inserted
// before its track's first INDEX.
class DiscPlanner {
public:
    DiscPlanner(const CueSheet& sheet, const std::vector<int>& fileSectors, ImageLayout& layout,
                CueError& error)
        : sheet_(sheet), fileSectors_(fileSectors), layout_(layout), error_(error) {}

    int plan() {
        if (checkPositions() != 0) return 1;
        layout_ = ImageLayout();
        std::vector<Gap> gaps = silentGaps();
        for (size_t f = 0; f < sheet_.files.size(); ++f) {
            int cursor = 0;
            for (const Gap& gap : gaps) {
                if (gap.file != static_cast<int>(f)) continue;
                addSegment(gap.file, cursor, gap.sector - cursor);
                addSegment(-1, 0, gap.sectors);
                cursor = gap.sector;
            }
            addSegment(static_cast<int>(f), cursor, fileSectors_[f] - cursor);
        }
        if (layout_.leadOut > kMaxDiscSectors) {
            error_ = {0, "the disc is longer than 100 minutes"};
            return 1;
        }
        for (const CueTrack& track : sheet_.tracks) {
            DiscTrack out;
            out.number = track.number;
            out.data = track.data;
            out.control = (track.data ? 0x04 : 0) | track.flags;
            out.start = discAddress(track.index1);
            out.region = discAddress(firstPosition(track)) - track.pregap;
            layout_.tracks.push_back(out);
        }
        return 0;
    }

private:
    // Silence inserted before the file sector of a position.
    struct Gap {
        int file;
        int sector;
        int sectors;
    };

    static const CuePosition& firstPosition(const CueTrack& track) {
        return track.index0.file >= 0 ? track.index0 : track.index1;
    }

    // In disc order: a track's POSTGAP ends it, before the next track's
    // PREGAP; the last track's comes after the rest of its file.
    std::vector<Gap> silentGaps() const {
        std::vector<Gap> gaps;
        const CueTrack* previous = nullptr;
        for (const CueTrack& track : sheet_.tracks) {
            const CuePosition& first = firstPosition(track);
            if (previous && previous->postgap > 0)
                gaps.push_back({first.file, first.sector, previous->postgap});
            if (track.pregap > 0) gaps.push_back({first.file, first.sector, track.pregap});
            previous = &track;
        }
        if (!previous) return gaps;
        int lastFile = previous->index1.file;
        if (previous->postgap > 0)
            gaps.push_back({lastFile, fileSectors_[lastFile], previous->postgap});
        return gaps;
    }

    int checkPositions() {
        if (fileSectors_.size() != sheet_.files.size()) {
            error_ = {0, "file lengths missing"};
            return 1;
        }
        const CuePosition* previous = nullptr;
        for (const CueTrack& track : sheet_.tracks) {
            for (const CuePosition* p : {&track.index0, &track.index1}) {
                if (p->file < 0) continue;
                if (p->sector >= fileSectors_[p->file]) {
                    error_ = {p->line,
                              "INDEX lies beyond the end of " + sheet_.files[p->file].name};
                    return 1;
                }
                if (previous && (p->file < previous->file ||
                                 (p->file == previous->file && p->sector <= previous->sector))) {
                    error_ = {p->line, "INDEX does not lie after the one before it"};
                    return 1;
                }
                previous = p;
            }
        }
        long total = 0;
        for (int sectors : fileSectors_) total += sectors;
        for (const CueTrack& track : sheet_.tracks) total += track.pregap + track.postgap;
        if (total > kMaxDiscSectors) {
            error_ = {0, "the disc is longer than 100 minutes"};
            return 1;
        }
        return 0;
    }

    void addSegment(int file, int fileSector, int sectors) {
        if (sectors <= 0) return;
        layout_.segments.push_back({layout_.leadOut, sectors, file, fileSector});
        layout_.leadOut += sectors;
    }

    int discAddress(const CuePosition& position) const {
        for (const DiscSegment& s : layout_.segments) {
            if (s.file == position.file && position.sector >= s.fileSector &&
                position.sector < s.fileSector + s.sectors)
                return s.lba + position.sector - s.fileSector;
        }
        return layout_.leadOut;
    }

    const CueSheet& sheet_;
    const std::vector<int>& fileSectors_;
    ImageLayout& layout_;
    CueError& error_;
};

}  // namespace

int parseCueSheet(std::string_view text, CueSheet& sheet, CueError& error) {
    sheet = CueSheet();
    return SheetReader(sheet, error).read(text);
}

std::string escapeControls(std::string_view text) {
    std::string out;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        out += escaped;
    }
    return out;
}

int layOutDisc(const CueSheet& sheet, const std::vector<int>& fileSectors, ImageLayout& layout,
               CueError& error) {
    return DiscPlanner(sheet, fileSectors, layout, error).plan();
}
