#pragma once

#include "engine/drive/extractor.h"

#include <optional>

// /mb: two reads in flight, one buffer written while the drive fills the
// other. Failed reads are not repeated.
class BurstExtractor : public Extractor {
public:
    BurstExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library);
    int run(int startLba, int endLba, ProgressMeter& progress) override;

private:
    ReadSlot slots[2];
};

// /mn: read, then write, block by block, with /r retries.
class NormalExtractor : public Extractor {
public:
    NormalExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library);
    int run(int startLba, int endLba, ProgressMeter& progress) override;

private:
    ReadSlot slot;
};

// /ms: every read after the first starts 4 sectors early and is aligned on
// the previous read by finding one of its sectors byte for byte, which
// hides a drive that does not land exactly where it was sent.
class SyncExtractor : public Extractor {
public:
    // Re-reads of one block for want of a match before the run is given up.
    static constexpr int kMaxRereads = 20;

    SyncExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library);
    int run(int startLba, int endLba, ProgressMeter& progress) override;

private:
    enum AnchorResult { kAnchored, kAnchorReadFailed, kAnchorNotFound, kAnchorStopped };

    AnchorResult anchorFirstRead(int lba, int count, ProgressMeter& progress);
    std::optional<int> offsetFromPrevious() const;
    void keepAsPrevious();
    int giveUp(int pos, ProgressMeter& progress);

    ReadSlot slot;
    uint8_t previous[ReadSlot::kBytes];
    int previousCount = 0;
};

// /mm: the whole range is read into memory (burst pattern), optionally
// normalised (/fn), then written.
class MemoryExtractor : public Extractor {
public:
    static constexpr int kPieceBytes = 32768;

    MemoryExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library);
    int run(int startLba, int endLba, ProgressMeter& progress) override;

private:
    int writeAll(const uint8_t* data, size_t byteCount, ProgressMeter& progress);

    // The reads go straight into the memory that holds the range.
    ReadRequest requests[2];
};

// The local extractor of extraction mode `mode` (0 burst, 1 normal, 2 sync,
// 3 memory; any other value burst), or none when memory runs out.
std::unique_ptr<Extractor> createExtractor(int mode, CdDrive& drive, std::unique_ptr<AudioStage>& output,
                                           AspiLibrary& library);
