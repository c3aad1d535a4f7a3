#include "engine/control/toclisting.h"

#include <cstdio>

#include "engine/control/naming.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"

void printToc() {
    const CdDrive& drive = *currentDrive;
    std::printf("Table Of Contents (%s - %s):\n\n", toUtf8(drive.discArtist).c_str(),
                toUtf8(drive.discTitle).c_str());
    std::printf("    Type  Start  End    Length   Copy Emphasis Name\n");
    std::printf("    ----- ------ ------ -------- ---- -------- ---------------\n");
    for (int t = 1; t <= 99; ++t) {
        if (t < drive.firstTrack() || t > drive.lastTrack()) continue;
        int start = drive.trackStart(t), end = drive.trackEnd(t);
        if (end == -1) continue;
        int control = drive.trackControl(t);
        std::printf("%2d) ", t);
        std::printf("%s", control & kControlData ? "Data  " : "Audio ");
        std::printf("%-6d %-6d ", start, end);
        std::printf("%-8s ", formatMsf(end - start));
        std::printf("%s", control & kControlCopy ? " Yes " : " No  ");
        std::printf("%s", control & kControlPreEmphasis ? "  With   " : "Without  ");
        std::printf("%s\n", toUtf8(drive.trackTitles[t - 1]).c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
}
