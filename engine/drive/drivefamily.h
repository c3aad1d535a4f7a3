#pragma once

// How a drive reads CD-DA: the vendor command 0xD8, MMC's READ CD, or
// MODE SELECT to 2352-byte blocks and READ(10). The values are those of
// /d's `Options::driveType`.
enum class DriveFamily : int {
    Automatic = 0,
    D8 = 1,
    Mmc = 2,
    Nr = 3,
};

// The family a /d name stands for (case-insensitive). 0 when the name is
// known.
int driveFamilyForName(const char* name, DriveFamily& family);

// The family of a drive by the vendor its INQUIRY identity starts with;
// MMC for every vendor not in the table.
DriveFamily driveFamilyForIdentity(const char* identity);

// "D8", "MMC" or "NR"; empty for Automatic.
const char* driveFamilyLabel(DriveFamily family);
