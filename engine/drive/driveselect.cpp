#include "engine/drive/driveselect.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "engine/common/owned.h"
#include "engine/control/exitcodes.h"
#include "engine/control/fatal.h"
#include "engine/control/options.h"
#include "engine/drive/aspi.h"
#include "engine/drive/cdtext.h"
#include "engine/drive/drivestate.h"
#include "engine/drive/scsidrive.h"

namespace {

constexpr int kCdromType = 5;

// Every address in host, target, LUN order until `visit` returns true.
template <typename Visit>
void scanBuses(AspiLibrary& library, Visit visit) {
    for (int host = 0; host < library.hostAdapterCount(); ++host)
        for (int target = 0; target < 8; ++target)
            for (int lun = 0; lun < 8; ++lun) {
                ScsiDevice device(&library, host, target, lun);
                if (device.inquiry() == 0 && visit(device)) return;
            }
}

std::unique_ptr<CdDrive> createVariant(DriveFamily family, AspiLibrary* library, int host,
                                       int target, int lun) {
    switch (family) {
        case DriveFamily::D8:
            return makeOwned<D8Drive>(library, host, target, lun);
        case DriveFamily::Mmc:
            return makeOwned<MmcDrive>(library, host, target, lun);
        case DriveFamily::Nr:
            return makeOwned<NrDrive>(library, host, target, lun);
        default:
            return nullptr;
    }
}

void printFlushed(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

int dropDrive(int code, const char* message) {
    currentDrive.reset();
    return reportFatal(code, message);
}

}  // namespace

int reportAspiInitialization() {
    AspiLibrary& library = aspiLibrary();
    if (!library.isReady()) {
        std::printf("%s\n", library.failure().c_str());
        return reportFatal(kExitAspiFailure, "ASPI Initialization Failure!");
    }
    std::printf("ASPI Initialized, %d Host Adapters Present\n", library.hostAdapterCount());
    std::fflush(stdout);
    return 0;
}

void listDevices() {
    printFlushed(
        "\nDevice                           Parameter\n"
        "----------------------------------------------\n");
    scanBuses(aspiLibrary(), [](const ScsiDevice& device) {
        std::printf("%-32s %d%d%d\n", device.identity, device.host, device.target, device.lun);
        std::fflush(stdout);
        return false;
    });
}

DriveFamily chooseDriveFamily(DriveFamily chosen, const char* identity) {
    if (chosen != DriveFamily::Automatic) return chosen;
    return driveFamilyForIdentity(identity);
}

int selectDrive() {
    AspiLibrary& library = aspiLibrary();
    if (options.scsiHost == -1) {
        scanBuses(library, [](const ScsiDevice& device) {
            if (device.deviceType != kCdromType) return false;
            options.scsiHost = device.host;
            options.scsiTarget = device.target;
            options.scsiLun = device.lun;
            return true;
        });
    }
    int host = options.scsiHost, target = options.scsiTarget, lun = options.scsiLun;
    currentDrive = makeOwned<ScsiDrive>(&library, host, target, lun);
    if (!currentDrive || currentDrive->inquiry() != 0)
        return dropDrive(kExitInquiryFailed, "Error Executing Inquiry Command");
    std::printf("Using CDROM Drive: %s (", currentDrive->identity);
    std::fflush(stdout);
    std::unique_ptr<CdDrive> probe = std::move(currentDrive);
    DriveFamily family = chooseDriveFamily(options.driveType, probe->identity);
    currentDrive = createVariant(family, &library, host, target, lun);
    if (!currentDrive) return dropDrive(kExitDriveNotReady, "Drive Mode Hosed!");
    std::memcpy(currentDrive->identity, probe->identity, sizeof probe->identity);
    std::memcpy(currentDrive->inquiryData, probe->inquiryData, sizeof probe->inquiryData);
    currentDrive->deviceType = probe->deviceType;
    std::printf("%s)\n\n", driveFamilyLabel(family));
    std::fflush(stdout);
    return 0;
}

int prepareDisc() {
    ReadinessWait wait;
    while (currentDrive->testUnitReady() == 0) {
        SenseCode sense = decodeSense(currentDrive->sense, sizeof currentDrive->sense);
        switch (afterNotReady(sense, wait)) {
            case ReadinessStep::GiveUp:
                return dropDrive(kExitDriveNotReady, "Drive Reports Not Ready (Check Media)");
            case ReadinessStep::WaitASecondThenTestAgain:
                std::this_thread::sleep_for(std::chrono::seconds(1));
                break;
            case ReadinessStep::TestAgain:
                break;
        }
    }
    if (currentDrive->readToc() != 0) return dropDrive(kExitReadTocFailed, "Error Executing Read TOC Command");
    if (!currentDrive->namesValid) setDefaultNames(*currentDrive);
    return 0;
}
