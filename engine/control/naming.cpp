#include "engine/control/naming.h"

#include "engine/control/options.h"
#include "engine/drive/cddrive.h"

#include <cstdio>
#include <cstring>

namespace {

// Both time formats share one buffer, which the next call overwrites.
char timeText[32];

struct TimeFields {
    int minutes, seconds, frames;
};

// The fields are bytes, hence the reduction modulo 256.
TimeFields splitSectors(int sectors) {
    return {(sectors / 4500) & 0xFF, ((sectors / 75) % 60) & 0xFF, (sectors % 75) & 0xFF};
}

}  // namespace

const char* formatTrackTime(int sectors) {
    TimeFields t = splitSectors(sectors);
    std::snprintf(timeText, sizeof timeText, "%d.%02d", t.minutes, t.seconds);
    return timeText;
}

const char* formatMsf(int sectors) {
    TimeFields t = splitSectors(sectors);
    std::snprintf(timeText, sizeof timeText, "%02d:%02d.%02d", t.minutes, t.seconds, t.frames);
    return timeText;
}

namespace {

// The name under construction holds at most this many characters; longer
// results are cut.
constexpr int kWorkCapacity = 511;

class NameBuffer {
public:
    explicit NameBuffer(const char* text) { std::snprintf(text_, sizeof text_, "%s", text); }

    // Replaces every occurrence of `token`, left to right. Inserted text is
    // not searched again by this pass, so a value that holds its own token
    // cannot make the pass run for ever.
    void replaceAll(const char* token, const char* value) {
        char result[kWorkCapacity + 1];
        size_t length = 0;
        size_t tokenLength = std::strlen(token);
        const char* scan = text_;
        while (const char* hit = std::strstr(scan, token)) {
            append(result, length, scan, static_cast<size_t>(hit - scan));
            append(result, length, value, std::strlen(value));
            scan = hit + tokenLength;
        }
        append(result, length, scan, std::strlen(scan));
        result[length] = '\0';
        std::memcpy(text_, result, length + 1);
    }

    void replaceCharacter(char from, char to) {
        for (char* c = text_; *c != '\0'; ++c)
            if (*c == from) *c = to;
    }

    void appendText(const char* value) {
        size_t length = std::strlen(text_);
        append(text_, length, value, std::strlen(value));
        text_[length] = '\0';
    }

    const char* text() const { return text_; }

private:
    static void append(char* target, size_t& length, const char* source, size_t count) {
        size_t room = kWorkCapacity - length;
        if (count > room) count = room;
        std::memcpy(target + length, source, count);
        length += count;
    }

    char text_[kWorkCapacity + 1];
};

// Ranges and the whole disc (index 0) take the disc title as their title.
const char* trackTitle(const CdDrive& drive, int index) {
    if (index == 0) return drive.discTitle;
    if (index < 1 || index > kMaxTracks) return "";
    return drive.trackTitles[index - 1];
}

}  // namespace

std::string formatName(const char* nameTemplate, int index, int lengthSectors) {
    NameBuffer name(nameTemplate);
    const CdDrive* drive = currentDrive.get();
    name.replaceAll("$t", drive ? trackTitle(*drive, index) : "");
    name.replaceAll("$d", drive ? drive->discTitle : "");
    name.replaceAll("$a", drive ? drive->discArtist : "");
    char number[16];
    std::snprintf(number, sizeof number, "%d", index);
    name.replaceAll("$i", number);
    std::snprintf(number, sizeof number, "%02d", index);
    name.replaceAll("$2di", number);
    name.replaceAll("$m", formatTrackTime(lengthSectors));

    name.replaceCharacter('"', '`');
    name.replaceCharacter(':', '.');
    name.replaceCharacter('/', '-');
    name.replaceCharacter('*', '-');
    name.replaceCharacter('?', '-');

    bool numbered = std::strstr(nameTemplate, "$i") != nullptr ||
                    std::strstr(nameTemplate, "$2di") != nullptr;
    if (!options.cddbEnabled && !numbered && index != 0) name.appendText(number);
    return name.text();
}

std::string pathOnDisk(const char* name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}
