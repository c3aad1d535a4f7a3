#pragma once
// The command line of one track of an encoding run and the names of the
// files around it.

#include <QString>
#include <QStringList>

enum class AudioFormat { Mp3, Wav, Wma, Flac, Opus };

// "MP3", "WAV", "WMA", "FLAC", "OPUS" as stored under "Format_Audio";
// anything else is MP3.
AudioFormat audioFormatFromSetting(const QString& value);

// "/eb128", "/ew128", "/eo128"; "/ec" for FLAC, which has no bit rate;
// empty for WAV.
QString bitRateSwitch(AudioFormat format, int kbps);
QString sizeFactorText(AudioFormat format, int kbps);
// Nearest whole number, halves to even ("12.5" gives 12).
int sizeFactorValue(const QString& text);

struct EncodeSettings {
    AudioFormat format = AudioFormat::Mp3;
    int kbps = 160;
    bool onTheFly = true;     // `Check3`
    bool atapi = true;        // `Check1`
    bool autoDetect = true;   // `Check4`
    int host = 0, target = 1, unit = 0;  // `Text1` .. `Text3`
};

// The number in the first two characters of a list entry; -1 when none.
int entryTrackNumber(const QString& entry);
// Two digits: "07", "12".
QString twoDigitTrack(int track);

QString encodeCommandLine(const EncodeSettings& settings, int track);
// The command line's words after "VOLTA", as the child's argument list.
QStringList encodeArguments(const EncodeSettings& settings, int track);

struct TrackFileNames {
    QString finalName;   // entry text + extension
    QString engineName;  // what "NN$2di" becomes: NN + NN + extension
    QString shortName;   // NN + extension
};

TrackFileNames trackFileNames(const QString& entry, const QString& extension);
