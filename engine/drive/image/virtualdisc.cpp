#include "engine/drive/image/virtualdisc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/common/riffchunks.h"
#include "engine/drive/cdtext.h"
#include "engine/drive/image/imagepath.h"

namespace {

constexpr int kSector = 2352;
// Eight blocks of 256 packs: more than any disc carries.
constexpr long long kMaxCdTextBytes = 8 * 256 * kPackBytes;

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
int openInput(const std::string& path) { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }

int readExactly(int fd, void* out, size_t bytes, long long offset) {
    uint8_t* to = static_cast<uint8_t*>(out);
    while (bytes > 0) {
        ssize_t got = pread(fd, to, bytes, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 1;
        to += got;
        bytes -= static_cast<size_t>(got);
        offset += got;
    }
    return 0;
}

// Finds the PCM data of a RIFF/WAVE file; the reason on failure.
const char* findWaveData(int fd, long long fileBytes, long long& offset, long long& bytes) {
    uint8_t header[kRiffHeaderBytes];
    if (readExactly(fd, header, sizeof header, 0) != 0 || !isWaveHeader(header)) return "not a RIFF/WAVE file";
    const char* failure = "no data chunk";
    bool formatSeen = false;
    int chunks = 0;
    auto readChunkHeader = [fd](long long at, uint8_t* chunkHeader) {
        return readExactly(fd, chunkHeader, kRiffChunkHeaderBytes, at);
    };
    walkRiffChunks(fileBytes, readChunkHeader, [&](const RiffChunk& chunk) {
        if (++chunks > 1000) return true;
        if (isChunk(chunk, "fmt ")) {
            uint8_t format[16];
            if (chunk.size < 16 || readExactly(fd, format, sizeof format, chunk.bodyOffset) != 0) {
                failure = "broken fmt chunk";
                return true;
            }
            if (readLittleEndian16(format) != 1 || readLittleEndian16(format + 2) != 2 ||
                readLittleEndian32(format + 4) != 44100 || readLittleEndian16(format + 14) != 16) {
                failure = "not 16-bit stereo 44.1 kHz PCM";
                return true;
            }
            formatSeen = true;
            return false;
        }
        if (!isChunk(chunk, "data")) return false;
        if (!formatSeen) {
            failure = "data chunk before the fmt chunk";
            return true;
        }
        offset = chunk.bodyOffset;
        bytes = std::min(chunk.size, fileBytes - offset);
        failure = nullptr;
        return true;
    });
    return failure;
}

}  // namespace

VirtualDisc::~VirtualDisc() {
    for (const OpenFile& file : files_)
        if (file.fd >= 0) close(file.fd);
}

int VirtualDisc::openFile(const CueFile& cueFile, const std::string& directory,
                          std::string& failure) {
    std::string path = findImageFile(directory, cueFile.name);
    OpenFile file;
    file.format = cueFile.format;
    file.fd = openInput(path);
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        failure = path + ": " + std::strerror(errno);
        if (file.fd >= 0) close(file.fd);
        return 1;
    }
    files_.push_back(file);
    OpenFile& opened = files_.back();
    if (!S_ISREG(info.st_mode)) {
        failure = path + ": not a regular file";
        return 1;
    }
    opened.dataBytes = info.st_size;
    if (file.format == CueFileFormat::Wave) {
        if (const char* reason =
                findWaveData(file.fd, info.st_size, opened.dataOffset, opened.dataBytes)) {
            failure = path + ": " + reason;
            return 1;
        }
    }
    posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return 0;
}

int VirtualDisc::loadCdText(const CueSheet& sheet, const std::string& cuePath,
                            std::string& failure) {
    std::string directory = directoryOf(cuePath);
    if (!sheet.cdTextFile.empty()) {
        std::string path = findImageFile(directory, sheet.cdTextFile);
        int fd = openInput(path);
        struct stat info;
        if (fd < 0 || fstat(fd, &info) != 0) {
            failure = path + ": " + std::strerror(errno);
            if (fd >= 0) close(fd);
            return 1;
        }
        if (!S_ISREG(info.st_mode)) {
            close(fd);
            failure = path + ": not a regular file";
            return 1;
        }
        long long size = info.st_size;
        // Pack dumps come bare or with the 4-byte READ TOC header, either
        // of them sometimes with a NUL after the last pack.
        long long skip = -1;
        for (long long header : {0, 4})
            for (long long nul : {0, 1})
                if (skip < 0 && size >= header + nul && (size - header - nul) % kPackBytes == 0)
                    skip = header;
        long long packBytes = skip < 0 ? 0 : (size - skip) / kPackBytes * kPackBytes;
        if (skip < 0 || packBytes == 0 || packBytes > kMaxCdTextBytes) {
            close(fd);
            failure = path + ": not a CD-TEXT pack file";
            return 1;
        }
        cdText_.resize(static_cast<size_t>(packBytes));
        int failed = readExactly(fd, cdText_.data(), cdText_.size(), skip);
        close(fd);
        if (failed != 0) {
            failure = path + ": cannot be read";
            return 1;
        }
        return 0;
    }
    CdTextSource source;
    source.firstTrack = sheet.tracks.front().number;
    source.discTitle = sheet.title;
    source.discPerformer = sheet.performer;
    for (const CueTrack& track : sheet.tracks) {
        source.trackTitles.push_back(track.title);
        source.trackPerformers.push_back(track.performer);
    }
    if (buildCdTextPacks(source, cdText_) != 0) {
        failure = cuePath + ": the CD-TEXT does not fit in 256 packs";
        return 1;
    }
    return 0;
}

int VirtualDisc::load(const std::string& cuePath, std::string& failure) {
    int fd = openInput(cuePath);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        failure = cuePath + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        return 1;
    }
    // No sheet is anywhere near this long; a bigger file is not one.
    if (!S_ISREG(info.st_mode) || info.st_size > (1 << 20)) {
        close(fd);
        failure = cuePath + ": not a CUE sheet";
        return 1;
    }
    std::string text(static_cast<size_t>(info.st_size), '\0');
    int failed = readExactly(fd, text.data(), text.size(), 0);
    close(fd);
    if (failed != 0) {
        failure = cuePath + ": cannot be read";
        return 1;
    }
    CueSheet sheet;
    CueError error;
    auto sheetFailure = [&] {
        failure = cuePath + (error.line > 0 ? ":" + std::to_string(error.line) : "") + ": " +
                  error.reason;
        return 1;
    };
    if (parseCueSheet(text, sheet, error) != 0) return sheetFailure();
    std::string directory = directoryOf(cuePath);
    std::vector<int> fileSectors;
    for (const CueFile& file : sheet.files) {
        if (openFile(file, directory, failure) != 0) return 1;
        long long sectors = (files_.back().dataBytes + kSector - 1) / kSector;
        fileSectors.push_back(static_cast<int>(std::min<long long>(sectors, 1 << 30)));
    }
    if (layOutDisc(sheet, fileSectors, layout_, error) != 0) return sheetFailure();
    return loadCdText(sheet, cuePath, failure);
}

const DiscTrack& VirtualDisc::trackAt(int lba) const {
    const auto& tracks = layout_.tracks;
    auto after = std::upper_bound(tracks.begin(), tracks.end(), lba,
                                  [](int at, const DiscTrack& t) { return at < t.region; });
    return after == tracks.begin() ? tracks.front() : *(after - 1);
}

int VirtualDisc::readSegment(const DiscSegment& segment, int first, int count, uint8_t* out) const {
    size_t bytes = static_cast<size_t>(count) * kSector;
    if (segment.file < 0) {
        std::memset(out, 0, bytes);
        return 0;
    }
    const OpenFile& file = files_[segment.file];
    long long offset = static_cast<long long>(segment.fileSector + first - segment.lba) * kSector;
    size_t available = static_cast<size_t>(
        std::clamp(file.dataBytes - offset, 0LL, static_cast<long long>(bytes)));
    if (available > 0 && readFileBytes(segment.file, file.dataOffset + offset, available, out) != 0) return 1;
    std::memset(out + available, 0, bytes - available);
    if (file.format == CueFileFormat::Motorola) {
        for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(out[i], out[i + 1]);
    }
    return 0;
}

int VirtualDisc::readFileBytes(int index, long long offset, size_t bytes, uint8_t* out) const {
    const OpenFile& file = files_[static_cast<size_t>(index)];
    if (bytes > kReadAheadBytes) return readExactly(file.fd, out, bytes, offset);
    std::lock_guard<std::mutex> lock(readAheadLock_);
    const bool held = readAheadFile_ == index && offset >= readAheadOffset_ &&
                      offset + static_cast<long long>(bytes) <= readAheadOffset_ + static_cast<long long>(readAheadBytes_);
    if (!held) {
        // The caller asks only for bytes of the data, so the data's end lies
        // at least `bytes` ahead.
        const long long dataEnd = file.dataOffset + file.dataBytes;
        const size_t ahead = static_cast<size_t>(std::min<long long>(kReadAheadBytes, dataEnd - offset));
        readAheadFile_ = -1;
        if (readExactly(file.fd, readAhead_, ahead, offset) != 0) return 1;
        readAheadFile_ = index;
        readAheadOffset_ = offset;
        readAheadBytes_ = ahead;
    }
    std::memcpy(out, readAhead_ + (offset - readAheadOffset_), bytes);
    return 0;
}

int VirtualDisc::readSectors(int lba, int count, uint8_t* out) const {
    int end = lba + count;
    // Before the disc and after the lead-out there is nothing but zeros.
    for (int at = lba; at < end && at < 0; ++at, out += kSector) std::memset(out, 0, kSector);
    lba = std::max(lba, 0);
    auto segment = std::upper_bound(layout_.segments.begin(), layout_.segments.end(), lba,
                                    [](int at, const DiscSegment& s) { return at < s.lba; });
    if (segment != layout_.segments.begin()) --segment;
    while (lba < end && segment != layout_.segments.end()) {
        int segmentEnd = segment->lba + segment->sectors;
        if (lba >= segmentEnd) {
            ++segment;
            continue;
        }
        int n = std::min(end, segmentEnd) - lba;
        if (readSegment(*segment, lba, n, out) != 0) return 1;
        out += static_cast<size_t>(n) * kSector;
        lba += n;
    }
    if (lba < end) std::memset(out, 0, static_cast<size_t>(end - lba) * kSector);
    return 0;
}
