#include "engine/drive/disclayout.h"

int readDiscLayout(const CdDrive& drive, DiscLayout& layout) {
    layout.firstTrack = drive.firstTrack();
    layout.lastTrack = drive.lastTrack();
    if (layout.firstTrack < 1 || layout.lastTrack > 99 || layout.firstTrack > layout.lastTrack) return 1;
    int previous = 0;
    for (int track = layout.firstTrack; track <= layout.lastTrack; ++track) {
        int start = drive.trackStart(track);
        if (start < previous) return 1;
        layout.trackStart[track] = previous = start;
        layout.trackControl[track] = drive.trackControl(track);
    }
    layout.leadOut = drive.trackEnd(layout.lastTrack);
    return layout.leadOut < previous ? 1 : 0;
}

DiscLayout firstSession(const DiscLayout& layout) {
    DiscLayout session = layout;
    int last = layout.lastTrack;
    bool dataSession = last > layout.firstTrack && (layout.trackControl[last] & kControlData) != 0 &&
                       (layout.trackControl[last - 1] & kControlData) == 0;
    if (!dataSession) return session;
    int audioEnd = layout.trackStart[last] - kSessionGapSectors;
    // A table that leaves no room for the gap cannot be an enhanced CD.
    if (audioEnd <= layout.trackStart[last - 1]) return session;
    session.lastTrack = last - 1;
    session.trackStart[last] = 0;
    session.trackControl[last] = 0;
    session.leadOut = audioEnd;
    return session;
}
