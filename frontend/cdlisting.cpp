#include "frontend/cdlisting.h"

#include "frontend/stringtable.h"

#include <QFile>

#include <array>

namespace {

const QString driveLinePrefix = QStringLiteral("Using CDROM Drive: ");

bool isRule(const QString& line) {
    const QString t = line.trimmed();
    return t.startsWith(QLatin1String("-----")) && t.count(QLatin1Char('-')) + t.count(QLatin1Char(' ')) == t.size();
}

// " 1) Audio 0      1050   00:14.00  No  Without  Name"
bool parseTrackLine(const QString& line, ListedTrack& track) {
    const QStringList words = line.simplified().split(QLatin1Char(' '));
    if (words.size() < 5 || !words[0].endsWith(QLatin1Char(')'))) return false;
    bool ok = false;
    track.number = words[0].chopped(1).toInt(&ok);
    if (!ok || track.number < 0 || track.number > 255) return false;
    track.data = words[1] == QLatin1String("Data");
    track.length = words[4];
    return true;
}

struct FailureMessage {
    const char* engineLine;
    const char* french;
    bool closeTray;
    bool ejectPause;
};

constexpr std::array<FailureMessage, 6> failures{{
    {"CD-ROM Drive Not Ready", "Lecteur CD-ROM non prêt !", false, false},
    {"Drive Reports Not Ready (Check Media)", "Lecteur CD-ROM non prêt !", true, false},
    {"CD-ROM Inquiry Error", "Modifiez ID/HOST/LUN !", false, false},
    {"Error Executing Inquiry Command", "Erreur !\n Modifiez ID/HOST/LUN !", false, true},
    {"ASPI Initialization Failure!", " Driver ASPI non installé !\n", false, false},
    {"Could Not Initialize CDDA Mode", "Mode extraction Audio impossible !", false, false},
}};

}  // namespace

CdListing CdListing::parse(const QByteArray& content) {
    CdListing listing;
    listing.present = true;
    const QStringList lines = QString::fromLocal8Bit(content).remove(QLatin1Char('\r')).split(QLatin1Char('\n'));
    bool inTracks = false;
    bool tracksDone = false;
    for (const QString& line : lines) {
        if (!line.trimmed().isEmpty()) listing.lastLine = line.trimmed();
        if (listing.driveName.isEmpty() && line.startsWith(driveLinePrefix))
            listing.driveName = line.mid(driveLinePrefix.size(), 128).trimmed();
        if (tracksDone) continue;
        if (!inTracks) {
            inTracks = isRule(line);
            continue;
        }
        ListedTrack track;
        if (line.trimmed().isEmpty() || !parseTrackLine(line, track)) {
            tracksDone = true;
            continue;
        }
        listing.tracks.push_back(track);
    }
    return listing;
}

CdListing CdListing::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return parse(file.readAll());
}

QString CdListing::lengthAt(int k) const {
    if (k < 0 || k >= static_cast<int>(tracks.size())) return {};
    return tracks[static_cast<size_t>(k)].length;
}

QString CdListing::lengthOfTrack(int number) const {
    for (const ListedTrack& track : tracks)
        if (track.number == number) return track.length;
    return {};
}

int CdListing::seconds(const QString& length) {
    const QStringList parts = length.left(5).split(QLatin1Char(':'));
    if (parts.size() != 2) return 0;
    return parts[0].toInt() * 60 + parts[1].toInt();
}

DetectionOutcome detectionOutcome(const CdListing& listing, int languageOffset, const QString& drivePermissionsHelp) {
    DetectionOutcome outcome;
    outcome.notAudio = listing.firstTrackIsData();
    outcome.failed = outcome.notAudio;
    outcome.label10 = listing.driveName;
    const bool english = languageOffset == StringTable::english;
    for (const FailureMessage& f : failures) {
        if (listing.lastLine != QLatin1String(f.engineLine)) continue;
        outcome.failed = true;
        outcome.beep = true;
        outcome.closeTray = f.closeTray;
        outcome.ejectPause = f.ejectPause;
        outcome.label10 = english ? listing.lastLine : QString::fromUtf8(f.french);
        if (listing.lastLine == QLatin1String("ASPI Initialization Failure!")) {
            if (english) outcome.label10 += QLatin1Char('\n');
            outcome.label10 += platformText(PlatformText::AspiHelp, languageOffset) + drivePermissionsHelp;
        }
        break;
    }
    return outcome;
}
