#include "frontend/encodecommand.h"

#include <cmath>

#include "frontend/bitrates.h"

namespace {

const char kWavSizeFactor[] = "150";
// What FLAC keeps of a second of music, about 60 % of the 172 KiB of WAV.
const char kFlacSizeFactor[] = "100";

}  // namespace

AudioFormat audioFormatFromSetting(const QString& value) {
    if (value == QLatin1String("WAV")) return AudioFormat::Wav;
    if (value == QLatin1String("WMA")) return AudioFormat::Wma;
    if (value == QLatin1String("FLAC")) return AudioFormat::Flac;
    if (value == QLatin1String("OPUS")) return AudioFormat::Opus;
    return AudioFormat::Mp3;
}

QString bitRateSwitch(AudioFormat format, int kbps) {
    if (format == AudioFormat::Flac) return QStringLiteral("/ec");
    if (format == AudioFormat::Wav || !bitRateItem(kbps)) return QString();
    const char* letters = format == AudioFormat::Wma ? "/ew" : format == AudioFormat::Opus ? "/eo" : "/eb";
    return QLatin1String(letters) + QString::number(kbps);
}

QString sizeFactorText(AudioFormat format, int kbps) {
    if (format == AudioFormat::Wav) return QLatin1String(kWavSizeFactor);
    if (format == AudioFormat::Flac) return QLatin1String(kFlacSizeFactor);
    // Opus keeps to its rate: kbps in KiB per second.
    if (format == AudioFormat::Opus && bitRateItem(kbps)) return QString::number(kbps * 1000 / 8 / 1024.0, 'f', 2);
    const BitRateItem* item = bitRateItem(kbps);
    return item ? QLatin1String(item->sizeFactor) : QStringLiteral("0");
}

int sizeFactorValue(const QString& text) {
    bool ok = false;
    double value = text.toDouble(&ok);
    return ok ? static_cast<int>(std::nearbyint(value)) : 0;
}

int entryTrackNumber(const QString& entry) {
    bool ok = false;
    int number = entry.left(2).trimmed().toInt(&ok);
    return ok && number >= 0 ? number : -1;
}

QString twoDigitTrack(int track) {
    return track < 10 ? QStringLiteral("0") + QString::number(track) : QString::number(track);
}

QString encodeCommandLine(const EncodeSettings& settings, int track) {
    QString mode = settings.onTheFly ? QStringLiteral("mn ") : QStringLiteral("mm ");
    QString atapi = settings.atapi ? QStringLiteral(" /dATAPI ") : QStringLiteral(" ");
    QString line = QStringLiteral("VOLTA /");
    if (settings.autoDetect)
        line += mode.left(2);
    else
        line += mode + QStringLiteral("/s") + QString::number(settings.host) +
                QString::number(settings.target) + QString::number(settings.unit);
    line += atapi + bitRateSwitch(settings.format, settings.kbps) + QStringLiteral(" /t ") +
            QStringLiteral("MP3s\\") + twoDigitTrack(track) + QStringLiteral("$2di ") +
            QString::number(track);
    return line;
}

QStringList encodeArguments(const EncodeSettings& settings, int track) {
    QStringList words = encodeCommandLine(settings, track).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    words.removeFirst();
    return words;
}

TrackFileNames trackFileNames(const QString& entry, const QString& extension) {
    QString number = twoDigitTrack(entryTrackNumber(entry));
    // A "/" typed into a track name must not lead the file out of the output folder.
    QString stem = entry;
    stem.replace(QLatin1Char('/'), QLatin1Char('-'));
    return {stem + extension, number + number + extension, number.left(8) + extension};
}
