#include "engine/cddb/cddbcache.h"

#include "engine/common/owned.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every key line starts so; the walk finds the next entry by it when an
// entry was cut short by a crash.
constexpr const char* kKeyPrefix = "cddb query ";
// A cache line is a few hundred bytes; past this the file is not a cache.
constexpr long long kMaxCacheLineBytes = 1 << 20;

bool isKey(const char* line) { return std::strncmp(line, kKeyPrefix, std::strlen(kKeyPrefix)) == 0; }

// One line without its newline (and without a carriage return left by an
// editor). A longer line is cut and its rest skipped, so the entry keeps
// its line count; a NUL becomes a blank rather than ending the text early.
// Non-zero at the end of the file or of what can be a cache.
int readCacheLine(std::FILE* cache, char (&line)[kCacheLineBytes]) {
    std::size_t length = 0;
    long long total = 0;
    int c;
    while ((c = std::getc(cache)) != EOF && c != '\n') {
        if (++total > kMaxCacheLineBytes) return -1;
        if (length < sizeof line - 1) line[length++] = c == '\0' ? ' ' : static_cast<char>(c);
    }
    if (c == EOF && total == 0) return -1;
    line[length] = '\0';
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

// Reads the next line of an entry into `line`. Non-zero at the end of the
// file, or when the line is a key: the entry was cut short, and `key` then
// holds the next entry's key.
int readEntryLine(std::FILE* cache, char (&line)[kCacheLineBytes], char (&key)[kCacheLineBytes], bool& keyWaiting) {
    if (readCacheLine(cache, line) != 0) return -1;
    if (!isKey(line)) return 0;
    std::memcpy(key, line, sizeof key);
    keyWaiting = true;
    return -1;
}

// Opens without blocking on a FIFO and accepts only a regular file: a
// device such as /dev/zero never ends a line.
int openRegular(const char* fileName, int flags, struct stat& info) {
    int fd = ::open(fileName, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -2;
    }
    return fd;
}

}  // namespace

int readCacheEntry(std::FILE* cache, const char* queryLine, DiscNames& names) {
    char key[kCacheLineBytes];
    char line[kCacheLineBytes];
    bool keyWaiting = false;
    auto found = makeOwned<DiscNames>();
    if (!found) return -1;
    for (;;) {
        if (!keyWaiting && readCacheLine(cache, key) != 0) return -1;
        keyWaiting = false;
        // Lines between a cut entry and the next key belong to no entry.
        if (!isKey(key)) continue;
        bool match = std::strcmp(key, queryLine) == 0;
        if (match) *found = names;
        if (readEntryLine(cache, line, key, keyWaiting) != 0) continue;
        if (match) storeName(found->discTitle, line, std::strlen(line));
        if (readEntryLine(cache, line, key, keyWaiting) != 0) continue;
        if (match) storeName(found->discArtist, line, std::strlen(line));
        if (readEntryLine(cache, line, key, keyWaiting) != 0) continue;
        long long first = 0, last = 0;
        if (parseTrackNumbers(line, first, last) != 0) continue;
        bool complete = true;
        for (long long track = first; track <= last && complete; ++track) {
            complete = readEntryLine(cache, line, key, keyWaiting) == 0;
            if (complete && match && track >= 1 && track <= kMaxTracks)
                storeName(found->trackTitles[track - 1], line, std::strlen(line));
        }
        if (match && complete) {
            names = *found;
            return 0;
        }
    }
}

int findCacheEntry(const char* fileName, const char* queryLine, DiscNames& names) {
    struct stat info;
    int fd = openRegular(fileName, O_RDONLY, info);
    if (fd == -2) std::printf("Local Cache File Is Not A Regular File\n");
    if (fd < 0) return -1;
    std::FILE* cache = ::fdopen(fd, "r");
    if (!cache) {
        ::close(fd);
        return -1;
    }
    int result = readCacheEntry(cache, queryLine, names);
    std::fclose(cache);
    return result;
}

int appendCacheEntry(const char* fileName, const char* queryLine, const DiscNames& names, int firstTrack,
                     int lastTrack) {
    std::string entry = std::string(queryLine) + "\n" + names.discTitle + "\n" + names.discArtist + "\n" +
                        std::to_string(firstTrack) + " " + std::to_string(lastTrack) + "\n";
    for (int track = firstTrack; track <= lastTrack; ++track) {
        const char* name = track >= 1 && track <= kMaxTracks ? names.trackTitles[track - 1] : "";
        // A name read back as a key would let one disc's entry forge another's.
        if (isKey(name)) return 0;
        entry += name;
        entry += '\n';
    }
    if (isKey(names.discTitle) || isKey(names.discArtist)) return 0;

    struct stat info;
    int fd = openRegular(fileName, O_RDWR | O_APPEND | O_CREAT, info);
    if (fd < 0) return 0;
    // A line cut by an earlier crash must not swallow this entry's key.
    char lastByte = '\n';
    if (info.st_size > 0 && ::pread(fd, &lastByte, 1, info.st_size - 1) == 1 && lastByte != '\n')
        entry.insert(entry.begin(), '\n');
    // The whole entry goes out in one write, so entries of runs appending
    // at the same time do not interleave.
    ssize_t written = ::write(fd, entry.data(), entry.size());
    int result = 0;
    if (written != static_cast<ssize_t>(entry.size())) {
        // Cut back what this run wrote, unless another run appended since.
        struct stat after;
        if (written > 0 && ::fstat(fd, &after) == 0 && after.st_size == info.st_size + written) {
            // Should this fail too, readers still step over the cut entry.
            int cut = ::ftruncate(fd, info.st_size);
            (void)cut;
        }
        result = -1;
    }
    ::close(fd);
    return result;
}
