#include "engine/verify/ripverification.h"

#include "engine/common/filewrites.h"
#include "engine/common/owned.h"
#include "engine/control/exitcodes.h"
#include "engine/control/naming.h"
#include "engine/control/options.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"
#include "engine/drive/pregaps.h"
#include "engine/drive/scsidrive.h"
#include "engine/drive/readoffset.h"
#include "engine/output/encoderkind.h"
#include "engine/output/partialfile.h"
#include "engine/verify/newfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

namespace {

constexpr const char* kModeNames[] = {"burst", "normal", "sync", "memory"};

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string localTime() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    char text[64] = {};
    if (localtime_r(&now, &parts)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &parts);
    return text;
}

std::string trimmed(const char* text) {
    std::string result = text;
    while (!result.empty() && result.back() == ' ') result.pop_back();
    return result;
}

// The file a job's output name becomes, and what kind of file it is.
RippedFile outputFileOf(const std::string& name) {
    RippedFile file;
    const EncoderInfo& encoder = encoderInfo(options.encoder);
    file.name = pathOnDisk((name + (encoder.extension ? encoder.extension : options.outputExtension)).c_str());
    if (encoder.stage == EncoderStage::NullSink)
        file.type = RippedFile::None;
    else if (encoder.stage == EncoderStage::WaveFile)
        file.type = options.suppressHeader ? RippedFile::Binary : RippedFile::Wave;
    else
        file.type = RippedFile::Mp3;
    return file;
}

// The sectors a drive with the run's read offset reads for [first, end).
void readSectorsOf(int first, int end, int& readFirst, int& readEnd) {
    constexpr int kAnywhere = 1 << 24;
    OffsetRead plan = planOffsetRead(first, end, options.readOffset, -kAnywhere, kAnywhere);
    readFirst = plan.firstSector;
    readEnd = plan.endSector;
}

}  // namespace

void RipVerification::identify(CdDrive& drive) {
    record_.program = "VOLTA digital audio extraction engine for Linux, TANAGER 2.80 Release";
    record_.date = localTime();
    record_.drive = trimmed(drive.identity);
    record_.readOffset = options.readOffset;
    record_.mode = kModeNames[options.extractMode >= 0 && options.extractMode < 4 ? options.extractMode : 0];
    if (options.globalMode == DistributedClient) record_.mode += " (through a distributed server)";
    record_.readRetries = options.readRetries;
    record_.named = options.cddbEnabled;
    record_.discTitle = toUtf8(drive.discTitle);
    record_.discArtist = toUtf8(drive.discArtist);

    DiscLayout layout;
    if (readDiscLayout(drive, layout) != 0) layout = DiscLayout();
    // An enhanced CD's music ends a session gap before its data track.
    DiscLayout music = firstSession(layout);
    // Before the first track's start lies its pre-gap; the others' are in
    // the sub-channel of local drives alone.
    int pregaps[kMaxTracks + 1] = {};
    if (auto* local = dynamic_cast<ScsiDrive*>(&drive)) {
        DriveQSource subchannel(*local);
        findPregaps(subchannel, layout, pregaps);
    }
    audioIndex_.assign(kMaxTracks + 1, -1);
    int audioTracks = 0;
    for (int track = layout.firstTrack; track >= 1 && track <= layout.lastTrack; ++track) {
        RipTocEntry entry;
        entry.number = track;
        entry.control = layout.trackControl[track];
        entry.start = layout.trackStart[track];
        int end = track < music.lastTrack ? music.trackStart[track + 1]
                                          : track == music.lastTrack ? music.leadOut : layout.leadOut;
        entry.length = std::max(end - entry.start, 0);
        entry.pregap = track == layout.firstTrack ? entry.start : pregaps[track];
        record_.toc.push_back(entry);
        record_.trackTitles.resize(static_cast<size_t>(track));
        record_.trackTitles[static_cast<size_t>(track - 1)] = toUtf8(drive.trackTitles[track - 1]);
        if (entry.control & kControlData) continue;
        audioIndex_[static_cast<size_t>(track)] = audioTracks++;
        if (firstAudio_ == 0) firstAudio_ = track;
        lastAudio_ = track;
    }
    record_.leadOut = layout.leadOut;
    id_ = accurateRipId(layout);
    record_.accurateRipId = id_.text();
    say("AccurateRip ID: " + record_.accurateRipId);
    lookup_ = lookUpDisc(id_);
    record_.databaseLine = lookup_.line();
    say(record_.databaseLine);
}

std::unique_ptr<AudioStage> RipVerification::tapFor(int firstSector, int endSector, std::unique_ptr<AudioStage> next) {
    std::vector<TrackSpan> spans;
    for (const RipTocEntry& entry : record_.toc) {
        int index = audioIndex_[static_cast<size_t>(entry.number)];
        int end = entry.start + entry.length;
        if (index < 0 || entry.start < firstSector || end > endSector || entry.length == 0) continue;
        TrackSpan span;
        span.number = entry.number;
        span.audioIndex = index;
        span.firstByte = static_cast<long long>(entry.start - firstSector) * kSectorBytes;
        span.frames = static_cast<long long>(entry.length) * kFramesPerSector;
        span.firstOfDisc = entry.number == firstAudio_;
        span.lastOfDisc = entry.number == lastAudio_;
        spans.push_back(span);
    }
    std::unique_ptr<ChecksumTap> tap = makeOwned<ChecksumTap>(spans, std::move(next));
    tap_ = tap.get();
    jobFirst_ = firstSector;
    jobEnd_ = endSector;
    return tap;
}

void RipVerification::recordTrack(const TrackSpan& span, const TrackChecksums* checksums, bool succeeded,
                                  const ReadTally& reads) {
    RippedTrack track;
    track.number = span.number;
    track.file = static_cast<int>(record_.files.size()) - 1;
    int start = jobFirst_ + static_cast<int>(span.firstByte / kSectorBytes);
    int end = start + static_cast<int>(span.frames / kFramesPerSector);
    track.complete = succeeded && checksums && checksums->isComplete();
    if (track.complete) {
        track.peak = checksums->peak();
        track.crc32 = checksums->crc32();
        track.accurateRipV1 = checksums->accurateRipV1();
        track.accurateRipV2 = checksums->accurateRipV2();
        const DatabaseAnswer* answer = lookup_.status == DatabaseLookup::Found ? &lookup_.answer : nullptr;
        track.verdict = judgeTrack(answer, span.audioIndex, track.accurateRipV1, track.accurateRipV2);
        char line[96];
        std::snprintf(line, sizeof line, "Track %02d: AR v1 %08X v2 %08X CRC32 %08X: ", track.number,
                      track.accurateRipV1, track.accurateRipV2, track.crc32);
        say(line + verdictText(track.verdict));
    } else {
        long long copied = checksums ? checksums->framesSeen() / kFramesPerSector : 0;
        track.missingFrom = start + static_cast<int>(copied);
    }
    int readFirst = 0;
    int readEnd = 0;
    readSectorsOf(start, end, readFirst, readEnd);
    for (const ReadTally::Failure& failure : reads.failures()) {
        if (failure.lba >= readEnd || failure.lba + failure.count <= readFirst) continue;
        if (failure.retried) {
            ++track.retriedReads;
        } else {
            ++track.failedReads;
            track.failedSectors.emplace_back(failure.lba, failure.lba + failure.count - 1);
        }
    }
    record_.tracks.push_back(track);
}

void RipVerification::jobEnded(const std::string& name, bool succeeded, const ReadTally& reads) {
    if (tap_) tap_->finish();
    RippedFile file = outputFileOf(name);
    file.firstSector = jobFirst_;
    file.endSector = jobEnd_;
    file.whole = succeeded;
    // A failed job's file stands under its partial name, or under its final
    // name when the user stopped it; the log names what is there.
    if (!succeeded && file.type != RippedFile::None) {
        const std::string partial = partialName(file.name.c_str());
        if (pathExists(partial))
            file.name = partial;
        else if (!pathExists(file.name))
            file.type = RippedFile::None;
    }
    if (firstOutput_.empty()) firstOutput_ = file.name;
    record_.files.push_back(file);
    if (!succeeded) {
        long long copied = tap_ ? tap_->bytesSeen() / kSectorBytes : 0;
        char line[160];
        std::snprintf(line, sizeof line, "Copy of sectors %d-%d failed from sector %lld on", jobFirst_, jobEnd_ - 1,
                      jobFirst_ + copied);
        record_.summary.emplace_back(line);
    }
    if (!tap_) return;
    for (size_t k = 0; k < tap_->tracks().size(); ++k)
        recordTrack(tap_->tracks()[k], &tap_->checksums()[k], succeeded, reads);
    tap_ = nullptr;
}

void RipVerification::tagTrack(int track, TrackTags& tags) const {
    for (auto copy = record_.tracks.rbegin(); copy != record_.tracks.rend(); ++copy) {
        if (copy->number != track || !copy->complete) continue;
        char checksums[64];
        std::snprintf(checksums, sizeof checksums, "v1 %08X v2 %08X CRC32 %08X", copy->accurateRipV1,
                      copy->accurateRipV2, copy->crc32);
        tags.accurateRipDiscId = record_.accurateRipId;
        tags.accurateRipResult = verdictText(copy->verdict);
        tags.accurateRipChecksums = checksums;
        return;
    }
}

int RipVerification::finish(int exitCode) {
    int judged = 0;
    int accurate = 0;
    bool inaccurate = false;
    for (const RippedTrack& track : record_.tracks) {
        if (!track.complete) continue;
        ++judged;
        if (track.verdict.kind == TrackVerdict::Accurate) ++accurate;
        if (track.verdict.kind == TrackVerdict::NotAccurate) inaccurate = true;
    }
    std::string closing;
    if (lookup_.status == DatabaseLookup::Found) {
        closing = "AccurateRip: " + std::to_string(accurate) + " of " + std::to_string(judged) +
                  " tracks accurately ripped";
    } else {
        closing = lookup_.line();
    }
    say(closing);
    record_.summary.insert(record_.summary.begin(), closing);
    if (!record_.files.empty()) writeOutputs();
    if (exitCode == 0 && lookup_.status == DatabaseLookup::Found && inaccurate) return kExitNotAccurate;
    return exitCode;
}

void RipVerification::writeOutputs() {
    std::filesystem::path first(firstOutput_);
    std::string folder = first.parent_path().string();
    for (RippedFile& file : record_.files) {
        if (folder.empty()) continue;
        std::string relative = std::filesystem::path(file.name).lexically_relative(folder).string();
        if (!relative.empty()) file.name = relative;
    }
    std::string base;
    if (record_.named) {
        base = formatName("$a - $d", 0, 0);
        fitFileName(base, std::strlen(" (999).log"));
    } else {
        char name[32];
        std::snprintf(name, sizeof name, "disc-%08x", id_.cddb);
        base = name;
    }
    std::string prefix = folder.empty() ? std::string() : folder + "/";
    std::string chosen = prefix + base;
    for (int number = 2; number < 1000 && (pathExists(chosen + ".log") || pathExists(chosen + ".cue")); ++number)
        chosen = prefix + base + " (" + std::to_string(number) + ")";

    std::string reason;
    if (writeNewFile(chosen + ".log", composeRipLog(record_), reason) != 0)
        say("Could not write the rip log \"" + chosen + ".log\": " + reason);
    bool filesWritten = std::any_of(record_.files.begin(), record_.files.end(), [](const RippedFile& file) {
        return file.whole && file.type != RippedFile::None;
    });
    if (filesWritten && writeNewFile(chosen + ".cue", composeCueSheet(record_), reason) != 0)
        say("Could not write the cue sheet \"" + chosen + ".cue\": " + reason);
}
