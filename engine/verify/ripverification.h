#pragma once

#include "engine/output/tags/tracktags.h"
#include "engine/pipeline/audiostage.h"
#include "engine/verify/checksumtap.h"
#include "engine/verify/databaselookup.h"
#include "engine/verify/discid.h"
#include "engine/verify/riprecord.h"

#include <memory>
#include <string>
#include <vector>

class CdDrive;
class ReadTally;

// One run's proof of its copies (/verify): the disc's AccurateRip identity
// and what the database knows of it, the checksums of every track the jobs
// copy whole, and at the end the summary, the rip log and the cue sheet.
class RipVerification {
public:
    // Takes the disc as the drive shows it, with its names and the
    // pre-gaps its sub-channel tells, prints its AccurateRip ID, asks the
    // database and prints what it answered.
    void identify(CdDrive& drive);

    // The tap for a job that copies the disc's sectors [firstSector,
    // endSector), in front of `next`: it checksums every audio track the
    // copy holds whole. None when memory runs out.
    std::unique_ptr<AudioStage> tapFor(int firstSector, int endSector, std::unique_ptr<AudioStage> next);

    // After that job, which wrote the output `name` (without extension): a
    // line for each track it copied whole; the log keeps the rest. `reads`:
    // the drive's failed reads during the job.
    void jobEnded(const std::string& name, bool succeeded, const ReadTally& reads);

    // What the last whole copy of `track` proved, into the tags of its
    // file; nothing when no job copied it whole.
    void tagTrack(int track, TrackTags& tags) const;

    // The closing line, the rip log and the cue sheet; returns the run's
    // exit code, which becomes 9 when the database knows the disc and a
    // track copied whole is not accurate.
    int finish(int exitCode);

private:
    void recordTrack(const TrackSpan& span, const TrackChecksums* checksums, bool succeeded,
                     const ReadTally& reads);
    void writeOutputs();

    RipRecord record_;
    AccurateRipId id_;
    DatabaseLookup lookup_;
    int firstAudio_ = 0;
    int lastAudio_ = 0;
    std::vector<int> audioIndex_;  // by track number; -1 for data tracks

    // The job in progress.
    ChecksumTap* tap_ = nullptr;
    int jobFirst_ = 0;
    int jobEnd_ = 0;

    std::string firstOutput_;  // path on disk of the first job's output
};
