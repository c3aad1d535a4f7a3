#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// One track line of the engine's table-of-contents listing.
struct ListedTrack {
    int number = 0;
    bool data = false;
    QString length;  // "mm:ss.ff"
};

// The detection listing "CdList" read by content rather than by line
// numbers: a disc with CD-TEXT adds a line before the listing.
struct CdListing {
    bool present = false;
    QString driveName;  // after "Using CDROM Drive: ", empty when absent
    std::vector<ListedTrack> tracks;
    QString lastLine;  // the last non-blank line, compared with the engine's messages

    static CdListing parse(const QByteArray& content);
    // `present` stays false when the file cannot be read.
    static CdListing read(const QString& path);

    bool firstTrackIsData() const { return !tracks.empty() && tracks.front().data; }
    // The length text of the k-th track line, empty when there is none.
    QString lengthAt(int k) const;
    // The length text of track `number`, empty when it is not listed.
    QString lengthOfTrack(int number) const;
    // Whole seconds of "mm:ss.ff", 0 when unreadable.
    static int seconds(const QString& length);
};

// What the detection shows for a listing.
struct DetectionOutcome {
    bool failed = false;
    bool notAudio = false;      // the first track is a data track
    bool beep = false;
    bool closeTray = false;
    bool ejectPause = false;    // the short pause when the tray setting is on
    QString label10;
};

// Compares the listing's last line with the engine's failure messages.
DetectionOutcome detectionOutcome(const CdListing& listing, int languageOffset, const QString& drivePermissionsHelp);
