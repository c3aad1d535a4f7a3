#include "engine/drive/extractors.h"

#include "engine/common/owned.h"
#include "engine/drive/syncmatch.h"

#include "engine/control/options.h"
#include "engine/control/progressmeter.h"
#include "engine/pipeline/audiostage.h"
#include "engine/pipeline/gainstage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <system_error>
#include <thread>

namespace {

int blockAt(int pos, int endLba) { return std::min(endLba - pos, kMaxSectorsPerRead); }

}  // namespace

BurstExtractor::BurstExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output,
                               AspiLibrary& library)
    : Extractor(drive, output, library), slots{{drive, library}, {drive, library}} {}

int BurstExtractor::run(int startLba, int endLba, ProgressMeter& progress) {
    if (output->open() != 0) return 1;
    beginProgress(progress, "Extracting");
    int total = sectorsBetween(startLba, endLba);
    if (total == 0) return finishRun(progress, 0);

    int current = 0;
    slots[current].start(startLba, blockAt(startLba, endLba));
    int pos = startLba + slots[current].sectors();
    int stop = 0;
    while (pos < endLba && stop == 0) {
        int other = current;
        current = 1 - current;
        slots[current].start(pos, blockAt(pos, endLba));
        // A failure leaves the other read in flight; its slot waits for it.
        if (slots[other].finish() != 0) return failRead(progress, slots[other].failure());
        stop = output->write(slots[other].data(), slots[other].bytes());
        pos += slots[current].sectors();
        progress.setPercent(percentOf(pos - startLba, total));
        if (stop == 0) stop = progress.update();
    }
    // The last read is waited for even when the run stops, so that it never
    // lands in a buffer that is gone.
    int lastRead = slots[current].finish();
    if (stop == 0) {
        if (lastRead != 0) return failRead(progress, slots[current].failure());
        stop = output->write(slots[current].data(), slots[current].bytes());
    }
    return finishRun(progress, stop);
}

NormalExtractor::NormalExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output,
                                 AspiLibrary& library)
    : Extractor(drive, output, library), slot(drive, library) {}

int NormalExtractor::run(int startLba, int endLba, ProgressMeter& progress) {
    if (output->open() != 0) return 1;
    beginProgress(progress, "Extracting");
    int total = sectorsBetween(startLba, endLba);

    int pos = startLba;
    int stop = 0;
    while (pos < endLba && stop == 0) {
        int retries = options.readRetries;
        if (readWithRetries(slot, pos, blockAt(pos, endLba), retries, progress) != 0)
            return failRead(progress, slot.failure());
        stop = output->write(slot.data(), slot.bytes());
        pos += slot.sectors();
        progress.setPercent(percentOf(pos - startLba, total));
        if (stop == 0) stop = progress.update();
    }
    return finishRun(progress, stop);
}

SyncExtractor::SyncExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output,
                             AspiLibrary& library)
    : Extractor(drive, output, library), slot(drive, library) {}

void SyncExtractor::keepAsPrevious() {
    std::memcpy(previous, slot.data(), static_cast<size_t>(slot.bytes()));
    previousCount = slot.sectors();
}

int SyncExtractor::deliver(const uint8_t* data, int sectors) {
    if (!holding) return output->write(data, sectors * kSectorBytes);
    std::memcpy(held + static_cast<size_t>(heldSectors) * kSectorBytes, data,
                static_cast<size_t>(sectors) * kSectorBytes);
    heldSectors += sectors;
    return 0;
}

int SyncExtractor::flushHeld() {
    holding = false;
    int stop = 0;
    for (int at = 0; at < heldSectors && stop == 0; at += kMaxSectorsPerRead)
        stop = output->write(held + static_cast<size_t>(at) * kSectorBytes,
                             std::min(heldSectors - at, kMaxSectorsPerRead) * kSectorBytes);
    heldSectors = 0;
    return stop;
}

// The held sectors began where the first read landed; they now begin
// `middle` sectors later, where the read in `slot` landed.
void SyncExtractor::moveHeldStart(int middle) {
    if (middle > 0) {
        heldSectors -= middle;
        std::memmove(held, held + static_cast<size_t>(middle) * kSectorBytes,
                     static_cast<size_t>(heldSectors) * kSectorBytes);
        return;
    }
    int missing = -middle;
    std::memmove(held + static_cast<size_t>(missing) * kSectorBytes, held,
                 static_cast<size_t>(heldSectors) * kSectorBytes);
    std::memcpy(held, slot.data(), static_cast<size_t>(missing) * kSectorBytes);
    heldSectors += missing;
}

// Nothing in the audio says where the first read landed, and later reads
// are only aligned on it, so the range starts where the middle of the
// drive's scatter lands. The landings seen so far are in `scatter`; the
// first block is read again until the scatter is known, then until a read
// lands in its middle, and the held sectors are moved to start there.
SyncExtractor::AnchorResult SyncExtractor::anchorHeld(LandingScatter& scatter, int startLba, ProgressMeter& progress) {
    int retries = options.readRetries;
    auto landing = [&] { return landingOffset(first, kMaxSectorsPerRead, slot.data(), kMaxSectorsPerRead); };
    for (int reads = 0; reads < LandingScatter::kMaxReads && !scatter.isSettled(); ++reads) {
        if (progress.update() != 0) return kAnchorStopped;
        if (readWithRetries(slot, startLba, kMaxSectorsPerRead, retries, progress) != 0) return kAnchorReadFailed;
        if (std::optional<int> offset = landing()) scatter.record(*offset);
    }
    int middle = scatter.middle();
    if (middle == 0) return kAnchored;
    for (int reads = 0; reads < LandingScatter::kMaxReads; ++reads) {
        if (progress.update() != 0) return kAnchorStopped;
        if (readWithRetries(slot, startLba, kMaxSectorsPerRead, retries, progress) != 0) return kAnchorReadFailed;
        if (landing() == middle) {
            moveHeldStart(middle);
            return kAnchored;
        }
    }
    return kAnchorNotFound;
}

int SyncExtractor::giveUp(int pos, ProgressMeter& progress) {
    int result = failRead(progress);
    std::printf("No Sync Match At Sector %d, Giving Up\n", pos);
    return result;
}

// `pos` is always the first sector not yet delivered, and the previous read
// always ends there. Each read after the first covers the 4 sectors before
// `pos` and up to 21 after it, never past the range's end, so the range's
// last sectors are read and delivered like any others.
//
// Where the first read landed is learnt from the reads that follow it:
// each shows where it landed relative to the first. The sectors are held
// back until enough of them have landed where the first did; a drive that
// lands elsewhere has its first block read again to learn its scatter, as
// the reads that follow cannot be told where to land.
int SyncExtractor::run(int startLba, int endLba, ProgressMeter& progress) {
    if (output->open() != 0) return 1;
    beginProgress(progress, "Extracting");
    int total = sectorsBetween(startLba, endLba);
    if (total == 0) return finishRun(progress, 0);

    int retries = options.readRetries;
    if (readWithRetries(slot, startLba, blockAt(startLba, endLba), retries, progress) != 0)
        return failRead(progress, slot.failure());
    // One block is the whole range: there is nothing to align it on.
    if (total <= kMaxSectorsPerRead) return finishRun(progress, output->write(slot.data(), slot.bytes()));

    std::memcpy(first, slot.data(), ReadSlot::kBytes);
    keepAsPrevious();
    holding = true;
    heldSectors = 0;
    deliver(first, kMaxSectorsPerRead);
    LandingScatter scatter;
    bool landedElsewhere = false;
    int pos = startLba + kMaxSectorsPerRead;
    progress.setPercent(percentOf(pos - startLba, total));
    int stop = progress.update();
    retries = options.readRetries;
    int rereads = 0;
    while (stop == 0) {
        if (holding && (landedElsewhere || pos >= endLba || scatter.isSettled())) {
            switch (anchorHeld(scatter, startLba, progress)) {
            case kAnchorReadFailed: return failRead(progress, slot.failure());
            case kAnchorNotFound: return giveUp(startLba, progress);
            case kAnchorStopped: return finishRun(progress, 1);
            default: break;
            }
            heldSectors = std::min(heldSectors, total);
            pos = startLba + heldSectors;
            stop = flushHeld();
            continue;
        }
        if (pos >= endLba) break;
        int remaining = endLba - pos;
        int count = std::min(remaining + kSyncOverlap, kMaxSectorsPerRead);
        if (readWithRetries(slot, pos - kSyncOverlap, count, retries, progress) != 0)
            return failRead(progress, slot.failure());
        std::optional<int> skip = syncSkip(previous, previousCount, slot.data(), count);
        if (holding && skip == kSyncOverlap) {
            scatter.record(0);
        } else if (holding) {
            landedElsewhere = true;
            if (skip) scatter.record(kSyncOverlap - *skip);
        }
        if (!skip) {
            if (++rereads > kMaxRereads) return giveUp(pos, progress);
            if (progress.update() != 0) return finishRun(progress, 1);
            continue;
        }
        rereads = 0;
        retries = options.readRetries;
        int fresh = std::min(count - *skip, remaining);
        const uint8_t* freshData = slot.data() + static_cast<size_t>(*skip) * kSectorBytes;
        if (fresh > 0) stop = deliver(freshData, fresh);
        keepAsPrevious();
        pos += fresh;
        progress.setPercent(percentOf(pos - startLba, total));
        if (stop == 0) stop = progress.update();
    }
    return finishRun(progress, stop);
}

MemoryExtractor::MemoryExtractor(CdDrive& drive, std::unique_ptr<AudioStage>& output,
                                 AspiLibrary& library)
    : Extractor(drive, output, library), requests{{drive, library}, {drive, library}} {}

namespace {

// The samples of a whole range: hundreds of megabytes for a disc, so the
// memory is asked for in huge pages, which fault in far faster, and a
// second thread faults them in ahead of the reads: the kernel clears every
// fresh page, and on another core that costs the reads nothing.
class RangeMemory {
public:
    explicit RangeMemory(size_t bytes) : size(bytes) {
        void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return;
        ::madvise(mapped, bytes, MADV_HUGEPAGE);
        data = static_cast<uint8_t*>(mapped);
        // Faulting in ahead is only a speed-up: without a thread for it the
        // reads fault the pages in themselves.
        try {
            prefault = std::thread([this] {
                constexpr size_t kChunk = 16 << 20;
                for (size_t at = 0; at < size && !stopPrefault.load(std::memory_order_relaxed); at += kChunk)
                    if (::madvise(data + at, std::min(kChunk, size - at), MADV_POPULATE_WRITE) != 0) return;
            });
        } catch (const std::system_error&) {
        }
    }
    ~RangeMemory() {
        stopPrefault.store(true, std::memory_order_relaxed);
        if (prefault.joinable()) prefault.join();
        if (data != nullptr) ::munmap(data, size);
    }
    RangeMemory(const RangeMemory&) = delete;
    RangeMemory& operator=(const RangeMemory&) = delete;

    uint8_t* data = nullptr;
    size_t size;

private:
    std::atomic<bool> stopPrefault{false};
    std::thread prefault;
};

int peakOf(const uint8_t* data, size_t byteCount) {
    int16_t low = 0;
    int16_t high = 0;
    for (size_t i = 0; i + 1 < byteCount; i += 2) {
        int16_t sample;
        std::memcpy(&sample, data + i, sizeof sample);
        low = std::min(low, sample);
        high = std::max(high, sample);
    }
    return std::max(-static_cast<int>(low), static_cast<int>(high));
}

}  // namespace

int MemoryExtractor::run(int startLba, int endLba, ProgressMeter& progress) {
    if (output->open() != 0) return 1;
    int total = sectorsBetween(startLba, endLba);
    if (total == 0) {
        beginProgress(progress, "Extracting");
        return finishRun(progress, 0);
    }
    size_t totalBytes = static_cast<size_t>(total) * kSectorBytes;
    RangeMemory memory(totalBytes);
    if (memory.data == nullptr) {
        std::printf("Not Enough Memory For %d Sectors\n", total);
        output->close();
        return 1;
    }
    beginProgress(progress, "Extracting");

    auto startAt = [&](ReadRequest& request, int lba) {
        request.start(memory.data + static_cast<size_t>(lba - startLba) * kSectorBytes, lba,
                      blockAt(lba, endLba));
    };
    int current = 0;
    startAt(requests[current], startLba);
    int pos = startLba + requests[current].sectors();
    int abort = 0;
    while (pos < endLba && abort == 0) {
        int other = current;
        current = 1 - current;
        startAt(requests[current], pos);
        if (requests[other].finish() != 0) {
            requests[current].finish();  // before its memory goes away
            return failRead(progress, requests[other].failure());
        }
        pos += requests[current].sectors();
        progress.setPercent(percentOf(pos - startLba, total));
        abort = progress.update();
    }
    int lastRead = requests[current].finish();
    if (abort == 0 && lastRead != 0) return failRead(progress, requests[current].failure());
    progress.setPercent(100);
    progress.update();
    progress.finish();
    // After ESC the writing phase still shows its bar, but writes nothing.
    if (abort != 0) {
        beginProgress(progress, "Writing");
        return finishRun(progress, abort);
    }

    // Silence has no level to raise, and a full-scale range needs nothing.
    int peak = options.normalize ? peakOf(memory.data, totalBytes) : 0;
    if (peak == 0 || peak >= 32767)
        return finishRun(progress, writeAll(memory.data, totalBytes, progress));

    std::unique_ptr<GainStage> gain = makeOwned<GainStage>(20.0 * std::log10(32767.0 / peak), nullptr);
    if (!gain) {
        std::printf("Not Enough Memory For Normalization\n");
        output->close();
        return 1;
    }
    std::unique_ptr<AudioStage>& head = processing();
    gain->next = std::move(head);
    head = std::move(gain);
    int result = writeAll(memory.data, totalBytes, progress);
    std::unique_ptr<AudioStage> front = std::move(head);
    head = std::move(front->next);
    return finishRun(progress, result);
}

int MemoryExtractor::writeAll(const uint8_t* data, size_t byteCount, ProgressMeter& progress) {
    beginProgress(progress, "Writing");
    int result = 0;
    size_t written = 0;
    while (written < byteCount && result == 0) {
        int piece = static_cast<int>(std::min<size_t>(byteCount - written, kPieceBytes));
        result = output->write(data + written, piece);
        written += static_cast<size_t>(piece);
        progress.setPercent(percentOf(static_cast<long long>(written), static_cast<long long>(byteCount)));
        if (result == 0) result = progress.update();
    }
    return result;
}

std::unique_ptr<Extractor> createExtractor(int mode, CdDrive& drive, std::unique_ptr<AudioStage>& output,
                                           AspiLibrary& library) {
    switch (mode) {
    case 1: return makeOwned<NormalExtractor>(drive, output, library);
    case 2: return makeOwned<SyncExtractor>(drive, output, library);
    case 3: return makeOwned<MemoryExtractor>(drive, output, library);
    default: return makeOwned<BurstExtractor>(drive, output, library);
    }
}
