#pragma once

#include "engine/drive/extractor.h"
#include "engine/drive/syncmatch.h"

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
    // What is read before the first read's landing place is known: the
    // first read and the reads that show it, as long as they land where
    // it did, with room for the sectors that a landing elsewhere adds.
    static constexpr int kHeldSectors = (LandingScatter::kQuietReads + 3) * kMaxSectorsPerRead;

    SyncExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output, AspiLibrary& library);
    int run(int startLba, int endLba, ProgressMeter& progress) override;

private:
    enum AnchorResult { kAnchored, kAnchorReadFailed, kAnchorNotFound, kAnchorStopped };

    AnchorResult anchorHeld(LandingScatter& scatter, int startLba, ProgressMeter& progress);
    void moveHeldStart(int middle);
    int deliver(const uint8_t* data, int sectors);
    int flushHeld();
    void keepAsPrevious();
    int giveUp(int pos, ProgressMeter& progress);

    ReadSlot slot;
    uint8_t previous[ReadSlot::kBytes];
    int previousCount = 0;
    uint8_t first[ReadSlot::kBytes];
    // Sectors kept back from the chain while the first read may still move.
    uint8_t held[kHeldSectors * kSectorBytes];
    int heldSectors = 0;
    bool holding = false;
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
