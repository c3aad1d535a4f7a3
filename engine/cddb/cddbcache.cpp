#include "engine/cddb/cddbcache.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// One line without its newline (and without a carriage return left by an
// editor). A longer line is cut and its rest skipped, so the entry keeps
// its line count. Non-zero at the end of the file.
int readCacheLine(std::FILE* cache, char (&line)[kCacheLineBytes]) {
    if (!std::fgets(line, sizeof line, cache)) return -1;
    std::size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n') {
        line[--length] = '\0';
    } else {
        int c;
        while ((c = std::fgetc(cache)) != EOF && c != '\n') {
        }
    }
    if (length > 0 && line[length - 1] == '\r') line[--length] = '\0';
    return 0;
}

// The "first last" line of an entry; non-zero when it is not two numbers.
// Both are held to the int range, so counting from one to the other cannot
// overflow whatever the file says.
int parseTrackNumbers(const char* line, long long& first, long long& last) {
    char* end = nullptr;
    first = std::clamp<long long>(std::strtoll(line, &end, 10), INT_MIN, INT_MAX);
    if (end == line) return -1;
    const char* rest = end;
    last = std::clamp<long long>(std::strtoll(rest, &end, 10), INT_MIN, INT_MAX);
    return end == rest ? -1 : 0;
}

}  // namespace

int readCacheEntry(std::FILE* cache, const char* queryLine, DiscNames& names) {
    char key[kCacheLineBytes];
    char line[kCacheLineBytes];
    DiscNames found;
    while (readCacheLine(cache, key) == 0) {
        bool match = std::strcmp(key, queryLine) == 0;
        if (match) found = names;
        if (readCacheLine(cache, line) != 0) return -1;
        if (match) storeName(found.discTitle, line, std::strlen(line));
        if (readCacheLine(cache, line) != 0) return -1;
        if (match) storeName(found.discArtist, line, std::strlen(line));
        if (readCacheLine(cache, line) != 0) return -1;
        long long first = 0, last = 0;
        // Without its numbers the rest of the file cannot be walked.
        if (parseTrackNumbers(line, first, last) != 0) return -1;
        for (long long track = first; track <= last; ++track) {
            if (readCacheLine(cache, line) != 0) return -1;
            if (match && track >= 1 && track <= kMaxTracks)
                storeName(found.trackTitles[track - 1], line, std::strlen(line));
        }
        if (match) {
            names = found;
            return 0;
        }
    }
    return -1;
}

int findCacheEntry(const char* fileName, const char* queryLine, DiscNames& names) {
    std::FILE* cache = std::fopen(fileName, "r");
    if (!cache) return -1;
    int result = readCacheEntry(cache, queryLine, names);
    std::fclose(cache);
    return result;
}

void appendCacheEntry(const char* fileName, const char* queryLine, const DiscNames& names, int firstTrack,
                      int lastTrack) {
    std::FILE* cache = std::fopen(fileName, "a");
    if (!cache) return;
    // The whole entry goes out in one write, so entries of runs appending
    // at the same time do not interleave.
    static_assert(kCacheLineBytes + (kMaxTracks + 3) * kNameCapacity < 1 << 15);
    char buffer[1 << 15];
    std::setvbuf(cache, buffer, _IOFBF, sizeof buffer);
    std::fprintf(cache, "%s\n%s\n%s\n%d %d\n", queryLine, names.discTitle, names.discArtist, firstTrack, lastTrack);
    for (int track = firstTrack; track <= lastTrack; ++track)
        std::fprintf(cache, "%s\n", track >= 1 && track <= kMaxTracks ? names.trackTitles[track - 1] : "");
    std::fclose(cache);
}
