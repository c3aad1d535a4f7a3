#pragma once

#include "engine/drive/readoffset.h"
#include "engine/pipeline/audiostage.h"

#include <memory>

class CdDrive;
class RipVerification;

// What stands between the drive and a job's processing: the correction of
// the read offset (/offset) and the checksums of /verify, both on the audio
// as the drive delivers it.
class ReadFront {
public:
    // Puts them in front of `chain` for a copy of the disc's sectors
    // [firstSector, endSector). 0, or 1 when memory runs out.
    int build(const CdDrive& drive, int firstSector, int endSector, RipVerification* verification,
              std::unique_ptr<AudioStage>& chain);

    // The sectors the extractor reads.
    int readFirst() const { return plan_.firstSector; }
    int readEnd() const { return plan_.endSector; }

    // Where the job's processing begins, behind the front.
    std::unique_ptr<AudioStage>& processing() { return *processing_; }

private:
    OffsetRead plan_;
    std::unique_ptr<AudioStage>* processing_ = nullptr;
};
