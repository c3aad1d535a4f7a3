#pragma once

class AspiLibrary;
class CdDrive;

// Lends `drive` to one client at a time on options.serverPort, for ever.
// Returns only when the port cannot be listened on: "Trouble Binding?"
// is printed and the result is kExitBindFailed.
int runDistributedServer(CdDrive& drive, AspiLibrary& library);

// Serves one greeted connection until the client quits, goes away, takes
// no reply in time or sends no command for the idle limit. The socket
// stays open for the caller.
void serveConnection(int socket, CdDrive& drive, AspiLibrary& library);

// Whether [startLba, endLba) is something to read from the disc the drive
// last reported: at least one sector, none before LBA 0 or past the
// lead-out.
bool extractionRangeValid(const CdDrive& drive, int startLba, int endLba);
