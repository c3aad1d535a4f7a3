#pragma once

// Finding the drive of the run and getting its disc ready. Each of these
// prints its own messages and ends the process on failure.

// "ASPI Initialized, ..." or, with an unusable transport, why and exit 2.
void reportAspiInitialization();

// The device table of /scan: every device that answers INQUIRY.
void listDevices();

// The drive type (1 D8, 2 MMC, 3 NR) for the /d value, or for the drive's
// identity when that value is 0 (automatic); other values pass through.
int chooseDriveType(int driveType, const char* identity);

// Scans the buses unless /s gave an address, checks the drive with INQUIRY
// and makes the variant its type asks for the current drive.
void selectDrive();

// Waits for the medium, reads the table of contents and the CD-TEXT, and
// gives the disc its default names when it carries none.
void prepareDisc();
