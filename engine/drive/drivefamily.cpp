#include "engine/drive/drivefamily.h"

#include <strings.h>

#include <cstring>

namespace {

struct FamilyName {
    const char* name;
    DriveFamily family;
    bool vendor;  // also chosen for drives whose identity starts with the name
};

constexpr FamilyName kNames[] = {
    {"PLEXTOR", DriveFamily::D8, true},  {"SONY", DriveFamily::D8, true},
    {"PHILIPS", DriveFamily::Nr, true},  {"ATAPI", DriveFamily::Mmc, false},
    {"MMC", DriveFamily::Mmc, false},
};

}  // namespace

int driveFamilyForName(const char* name, DriveFamily& family) {
    for (const FamilyName& entry : kNames) {
        if (strcasecmp(name, entry.name) == 0) {
            family = entry.family;
            return 0;
        }
    }
    return 1;
}

DriveFamily driveFamilyForIdentity(const char* identity) {
    for (const FamilyName& entry : kNames)
        if (entry.vendor && std::strncmp(identity, entry.name, std::strlen(entry.name)) == 0)
            return entry.family;
    return DriveFamily::Mmc;
}

const char* driveFamilyLabel(DriveFamily family) {
    switch (family) {
    case DriveFamily::D8: return "D8";
    case DriveFamily::Mmc: return "MMC";
    case DriveFamily::Nr: return "NR";
    default: return "";
    }
}
