#pragma once
// What `Timer1` shows while a track is encoded: the size written so far
// and, for MP3 and WAV, the share of the expected size.

#include <QString>
#include <optional>

#include "frontend/encodecommand.h"

struct ProgressLabels {
    QString size;          // `Label12`
    bool percentShown = false;
    QString percent;       // `Label13`
};

struct ProgressInput {
    std::optional<qint64> fileSize;  // none when the file could not be read
    AudioFormat format = AudioFormat::Mp3;
    QString sizeFactor;              // `Label1`'s tag
    qint64 trackSeconds = 0;         // "CurrentTrack#"
};

// Updates the labels in place, as one tick of the timer does.
void updateProgress(ProgressLabels& labels, const ProgressInput& input);
