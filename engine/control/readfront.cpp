#include "engine/control/readfront.h"

#include "engine/common/owned.h"
#include "engine/control/options.h"
#include "engine/drive/cddrive.h"
#include "engine/verify/ripverification.h"

int ReadFront::build(const CdDrive& drive, int firstSector, int endSector, RipVerification* verification,
                     std::unique_ptr<AudioStage>& chain) {
    processing_ = &chain;
    plan_.firstSector = firstSector;
    plan_.endSector = endSector;
    // The checksums are of the copy, so the correction comes first.
    if (verification) {
        std::unique_ptr<AudioStage> tap = verification->tapFor(firstSector, endSector, std::move(chain));
        if (!tap) return 1;
        chain = std::move(tap);
        processing_ = &chain->next;
    }
    if (options.readOffset == 0) return 0;
    int low = 0;
    int high = 0;
    audioReach(drive, firstSector, endSector, low, high);
    plan_ = planOffsetRead(firstSector, endSector, options.readOffset, low, high);
    std::unique_ptr<AudioStage> window = makeOwned<OffsetWindow>(plan_, std::move(chain));
    if (!window) return 1;
    chain = std::move(window);
    if (!verification) processing_ = &chain->next;
    return 0;
}
