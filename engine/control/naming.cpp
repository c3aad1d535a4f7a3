#include "engine/control/naming.h"

#include "engine/common/msf.h"
#include "engine/control/options.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"
#include "engine/output/encoderkind.h"
#include "engine/output/partialfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// Both time formats share one buffer, which the next call overwrites.
char timeText[32];

// The fields are bytes, hence the reduction modulo 256.
Msf splitSectors(int sectors) {
    Msf msf = msfOfSectors(sectors);
    return {msf.minutes & 0xFF, msf.seconds & 0xFF, msf.frames & 0xFF};
}

}  // namespace

const char* formatTrackTime(int sectors) {
    Msf t = splitSectors(sectors);
    std::snprintf(timeText, sizeof timeText, "%d.%02d", t.minutes, t.seconds);
    return timeText;
}

const char* formatMsf(int sectors) {
    Msf t = splitSectors(sectors);
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

    const char* text() const { return text_; }

private:
    static void append(char* target, size_t& length, const char* source, size_t count) {
        size_t room = kWorkCapacity - length;
        if (count > room) count = utf8Prefix(std::string_view(source, count), room);
        std::memcpy(target + length, source, count);
        length += count;
    }

    char text_[kWorkCapacity + 1];
};

// The names a disc without names gets; inserted names that say nothing
// fall back on them too.
constexpr const char* kDefaultTrackTitle = "Track";
constexpr const char* kDefaultDiscTitle = "Disc";
constexpr const char* kDefaultArtist = "Unknown";

// Ranges and the whole disc (index 0) take the disc title as their title.
const char* trackTitle(const CdDrive* drive, int index) {
    if (!drive || index < 0 || index > kMaxTracks) return "";
    return index == 0 ? drive->discTitle : drive->trackTitles[index - 1];
}

// Nothing but dots and blanks once cleaned (a colon becomes a dot): such a
// name would leave the file no name, or the name of another track's.
bool saysNothing(const char* name) {
    return std::string_view(name).find_first_not_of(".: ") == std::string_view::npos;
}

// Names come from the disc, the cache or a server: only the user's template
// may name folders, so no separator of theirs reaches the path. They may
// come in ISO 8859-1; file names are UTF-8.
std::string insertedName(const char* name, const char* fallback) {
    if (saysNothing(name)) return fallback;
    std::string text = toUtf8(name);
    for (char& c : text)
        if (c == '\\' || c == '/') c = '-';
    return text;
}

std::vector<std::string_view> folderLevels(std::string_view path) {
    std::vector<std::string_view> levels;
    for (size_t start = 0;;) {
        size_t end = path.find('\\', start);
        levels.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return levels;
        start = end + 1;
    }
}

// A level that names filled to nothing, "." or ".." would make the path
// absolute or climb out of the output folder, and one that a name made
// begin with a dot would hide the file; the template's own levels stand as
// the user typed them.
std::string keepInsideFolders(const char* nameTemplate, std::string_view name) {
    std::vector<std::string_view> typed = folderLevels(nameTemplate);
    std::vector<std::string_view> filled = folderLevels(name);
    std::string result;
    for (size_t i = 0; i < filled.size(); ++i) {
        std::string_view level = filled[i];
        if (i > 0) result += '\\';
        bool asTyped = i < typed.size() && typed[i] == level;
        bool dotTyped = i < typed.size() && typed[i].starts_with('.');
        if (!asTyped && !dotTyped) level.remove_prefix(std::min(level.find_first_not_of('.'), level.size()));
        bool climbs = level.empty() || level == "." || level == "..";
        if (climbs && !asTyped)
            result.append(std::max<size_t>(level.size(), 1), '-');
        else
            result += level;
    }
    return result;
}

}  // namespace

std::string formatName(const char* nameTemplate, int index, int lengthSectors) {
    NameBuffer name(nameTemplate);
    const CdDrive* drive = currentDrive.get();
    const char* title = trackTitle(drive, index);
    name.replaceAll("$t", insertedName(title, index == 0 ? kDefaultDiscTitle : kDefaultTrackTitle).c_str());
    name.replaceAll("$d", insertedName(drive ? drive->discTitle : "", kDefaultDiscTitle).c_str());
    name.replaceAll("$a", insertedName(drive ? drive->discArtist : "", kDefaultArtist).c_str());
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

    std::string result = keepInsideFolders(nameTemplate, name.text());
    bool numbered = std::strstr(nameTemplate, "$i") != nullptr ||
                    std::strstr(nameTemplate, "$2di") != nullptr;
    // A track whose title said nothing is named as on a disc without names.
    bool untitled = std::strstr(nameTemplate, "$t") != nullptr && saysNothing(title);
    if ((!options.cddbEnabled || untitled) && !numbered && index != 0) result += number;
    if (result.size() > kWorkCapacity) result.resize(utf8Prefix(result, kWorkCapacity));
    return result;
}

std::string pathOnDisk(const char* name) {
    std::string path = name;
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool fitFileName(std::string& name, size_t extensionBytes) {
    bool shortened = false;
    std::string fitted;
    size_t start = 0;
    for (;;) {
        size_t separator = name.find_first_of("\\/", start);
        bool last = separator == std::string::npos;
        std::string_view part(name.data() + start, (last ? name.size() : separator) - start);
        size_t room = kMaxFileNameBytes - (last ? std::min(extensionBytes, kMaxFileNameBytes - 1) : 0);
        size_t kept = utf8Prefix(part, room);
        shortened = shortened || kept < part.size();
        fitted.append(part.substr(0, kept));
        if (last) break;
        fitted += name[separator];
        start = separator + 1;
    }
    name = fitted;
    return shortened;
}

std::string fitOutputName(std::string name, const std::string& suffix) {
    const char* extension = encoderInfo(options.encoder).extension;
    // The file is written under its partial name first, which must fit too.
    size_t reserved =
        std::strlen(extension ? extension : options.outputExtension) + suffix.size() + kPartialSuffixBytes;
    if (fitFileName(name, reserved)) std::printf("Name Too Long For The File System, Shortened\n");
    return name + suffix;
}
