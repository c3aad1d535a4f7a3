#pragma once

#include "engine/drive/drivefamily.h"

// Finding the drive of the run and getting its disc ready. Each of these
// returns 0, or prints its own messages and returns the exit code that
// ends the run.

// "ASPI Initialized, ..." or, with an unusable transport, why and exit 2.
int reportAspiInitialization();

// The device table of /scan: every device that answers INQUIRY.
void listDevices();

// The family chosen with /d, or the one of the drive's identity when /d
// left it automatic.
DriveFamily chooseDriveFamily(DriveFamily chosen, const char* identity);

// Scans the buses unless /s gave an address, checks the drive with INQUIRY
// and makes the variant its type asks for the current drive.
int selectDrive();

// Waits for the medium, reads the table of contents and the CD-TEXT, and
// gives the disc its default names when it carries none.
int prepareDisc();
