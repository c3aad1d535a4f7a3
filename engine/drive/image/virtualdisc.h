#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/drive/image/cuesheet.h"

// The disc a CUE sheet describes, with its data files open: what a
// virtual drive reads its sectors, table of contents and CD-TEXT from.
class VirtualDisc {
public:
    VirtualDisc() = default;
    ~VirtualDisc();
    VirtualDisc(const VirtualDisc&) = delete;
    VirtualDisc& operator=(const VirtualDisc&) = delete;

    // 0 on success; otherwise `failure` is one line naming the file, the
    // reason and, for the sheet, the line.
    int load(const std::string& cuePath, std::string& failure);

    const ImageLayout& layout() const { return layout_; }
    int leadOut() const { return layout_.leadOut; }
    const std::vector<uint8_t>& cdTextPacks() const { return cdText_; }

    // The track the sector belongs to (gaps count with the track after
    // them); the first track for sectors before it.
    const DiscTrack& trackAt(int lba) const;
    bool isData(int lba) const { return trackAt(lba).data; }

    // Raw 2352-byte sectors [lba, lba + count), samples little-endian;
    // sectors outside the disc read as zeros.
    int readSectors(int lba, int count, uint8_t* out) const;

private:
    struct OpenFile {
        int fd = -1;
        CueFileFormat format = CueFileFormat::Binary;
        long long dataOffset = 0;
        long long dataBytes = 0;
    };

    int openFile(const CueFile& file, const std::string& directory, std::string& failure);
    int loadCdText(const CueSheet& sheet, const std::string& cuePath, std::string& failure);
    int readSegment(const DiscSegment& segment, int first, int count, uint8_t* out) const;
    int readFileBytes(int file, long long offset, size_t bytes, uint8_t* out) const;

    // A drive's 25-sector blocks come from one read of the file per this many
    // bytes: read one by one, the system calls cost as much as the copying.
    static constexpr size_t kReadAheadBytes = 256 * 1024;

    std::vector<OpenFile> files_;
    ImageLayout layout_;
    std::vector<uint8_t> cdText_;
    mutable std::mutex readAheadLock_;
    mutable int readAheadFile_ = -1;  // none
    mutable long long readAheadOffset_ = 0;
    mutable size_t readAheadBytes_ = 0;
    mutable uint8_t readAhead_[kReadAheadBytes];
};
