#pragma once

// The /q CD player on the current drive: plays from track 1, shows the
// position on one status line and takes keys until ESC.
void runCdPlayer();
