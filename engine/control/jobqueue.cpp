#include "engine/control/jobqueue.h"

#include "engine/common/owned.h"
#include "engine/control/console.h"
#include "engine/control/exitcodes.h"
#include "engine/control/fatal.h"
#include "engine/control/id3tag.h"
#include "engine/control/joboutput.h"
#include "engine/control/naming.h"
#include "engine/control/options.h"
#include "engine/control/progressmeter.h"
#include "engine/control/readfront.h"
#include "engine/control/reprocess.h"
#include "engine/drive/aspi.h"
#include "engine/drive/cddrive.h"
#include "engine/drive/extractors.h"
#include "engine/net/remotedrive.h"
#include "engine/net/remoteextractor.h"
#include "engine/pipeline/audiostage.h"
#include "engine/pipeline/stagechain.h"
#include "engine/verify/ripverification.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A client reads through its server, which extracts in the client's mode.
std::unique_ptr<Extractor> createJobExtractor(std::unique_ptr<AudioStage>& chain) {
    if (options.globalMode == DistributedClient) {
        auto* remote = dynamic_cast<RemoteDrive*>(currentDrive.get());
        if (!remote) return nullptr;
        return makeOwned<RemoteExtractor>(remote->socket, chain, options.extractMode);
    }
    return createExtractor(options.extractMode, *currentDrive, chain, aspiLibrary());
}

bool isDataTrack(const CdDrive& drive, int track) {
    return (drive.trackControl(track) & kControlData) != 0;
}

// A disc without music ends the range in front of its first track, and
// never at 0.
int lastTrackOfAll(const CdDrive& drive) {
    int track = drive.lastAudioTrack();
    if (track == 0) track = drive.firstTrack() - 1;
    return track == 0 ? 1 : track;
}

void expandAllAudioTracks(const CdDrive& drive) {
    for (int i = 0; i < options.jobCount; ++i) {
        Job& job = options.jobs[i];
        if (job.kind != AllAudioTracks) continue;
        job.kind = TrackRange;
        job.first = 1;
        job.last = lastTrackOfAll(drive);
        std::printf("Disc Tracks: %d-%d\n\n", job.first, job.last);
    }
}

int runTrackRange(const CdDrive& drive, const Job& job, RipVerification* verification) {
    // Counted wider than int, so that a range ending at INT_MAX ends.
    for (long long number = job.first; number <= job.last; ++number) {
        int track = static_cast<int>(number);
        if (track < drive.firstTrack() || track > drive.lastTrack()) {
            std::printf("Warning, Track %d Is Invalid, Skipping\n", track);
            continue;
        }
        if (isDataTrack(drive, track)) {
            std::printf("Warning, Track %d Is A Data Track, Skipping\n", track);
            continue;
        }
        int start = drive.trackStart(track);
        int end = drive.trackEnd(track);
        std::string name = fitOutputName(formatName(options.basename, track, end - start));
        std::printf("Track %d: \"%s\"\n", track, name.c_str());
        if (processJob(name, start, end, verification) != 0) return 1;
        if (options.id3Tagging) tagOutput(track, verification);
    }
    return 0;
}

// A reversed range is as invalid as one outside the disc: it holds nothing.
int runSectorRange(const CdDrive& drive, const Job& job, RipVerification* verification) {
    if (job.first < drive.trackStart(drive.firstTrack()) ||
        job.last > drive.trackEnd(drive.lastTrack()) || job.first > job.last) {
        std::printf("Warning, LBA Range %d-%d Is Invalid, Skipping\n", job.first, job.last);
        return 0;
    }
    std::string name = fitOutputName(formatName(options.basename, 0, job.last - job.first),
                                     "{" + std::to_string(job.first) + "-" + std::to_string(job.last) + "}");
    std::printf("Range: \"%s\"\n", name.c_str());
    if (processJob(name, job.first, job.last, verification) != 0) return 1;
    if (options.id3Tagging) tagOutput(-1);
    return 0;
}

int runWholeDisc(const CdDrive& drive, RipVerification* verification) {
    int start = drive.trackStart(drive.firstTrack());
    int end = drive.trackEnd(drive.lastTrack());
    std::string name = fitOutputName(formatName(options.basename, 0, end - start));
    std::printf("Whole Disc: \"%s\"\n", name.c_str());
    if (processJob(name, start, end, verification) != 0) return 1;
    if (options.id3Tagging) tagOutput(-1);
    return 0;
}

int runJobs(RipVerification* verification) {
    if (options.jobCount == 0) return 0;
    const CdDrive& drive = *currentDrive;
    expandAllAudioTracks(drive);
    for (int i = 0; i < options.jobCount; ++i) {
        const Job& job = options.jobs[i];
        int result = 0;
        switch (job.kind) {
        case TrackRange: result = runTrackRange(drive, job, verification); break;
        case SectorRange: result = runSectorRange(drive, job, verification); break;
        case WholeDisc: result = runWholeDisc(drive, verification); break;
        default:
            currentDrive.reset();
            return reportFatal(kExitQueueHosed, "The queue is hosed!");
        }
        if (result != 0) return kExitQueueFailed;
    }
    return 0;
}

// Windows thread priorities mapped onto nice values; idle has a policy of
// its own.
constexpr int kWindowsIdle = -15;

int niceFor(int windowsPriority) {
    switch (windowsPriority) {
    case -2: return 10;
    case -1: return 5;
    case 1: return -5;
    case 2: return -10;
    case 15: return -20;
    default: return 0;
    }
}

// A priority the system refuses is approached from the refused side until
// one is accepted; the thread's present value is always allowed.
void setNice(int wanted) {
    pid_t self = ::gettid();
    errno = 0;
    int present = ::getpriority(PRIO_PROCESS, self);
    if (present == -1 && errno != 0) return;
    int step = wanted < present ? 1 : -1;
    for (int value = wanted; value != present; value += step)
        if (::setpriority(PRIO_PROCESS, self, value) == 0) return;
}

void applyPriority(int windowsPriority) {
    if (windowsPriority == kWindowsIdle) {
        sched_param parameters{};
        if (::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &parameters) == 0) return;
        setNice(19);
        return;
    }
    setNice(niceFor(windowsPriority));
}

struct QueueThread {
    int priority = 0;
    RipVerification* verification = nullptr;
    int result = 0;
};

void* queueThreadMain(void* argument) {
    auto* thread = static_cast<QueueThread*>(argument);
    applyPriority(thread->priority);
    thread->result = runQueue(thread->verification);
    return nullptr;
}

}  // namespace

int runQueue(RipVerification* verification) {
    if (int code = runJobs(verification); code != 0) return code;
    return reprocessPatterns() == 0 ? kExitSuccess : kExitQueueFailed;
}

int runQueueOnThread(int priority, RipVerification* verification) {
    QueueThread thread;
    thread.priority = priority;
    thread.verification = verification;
    pthread_t handle;
    if (::pthread_create(&handle, nullptr, queueThreadMain, &thread) != 0) {
        std::printf("Can't create queue thread");
        std::fflush(stdout);
        return runQueue(verification);
    }
    ::pthread_join(handle, nullptr);
    return thread.result;
}

int processJob(const std::string& name, int firstSector, int endSector, RipVerification* verification) {
    if (prepareJobOutput(name) != 0) return 1;
    std::unique_ptr<AudioStage> chain = createAudioChain(name.c_str());
    ProgressMeter meter;
    ReadFront front;
    if (!chain || front.build(*currentDrive, firstSector, endSector, verification, chain) != 0) {
        std::printf("Error Creating Audio Processor\n");
        return 1;
    }
    std::string title = "VOLTA: " + name;
    setConsoleTitle(title.c_str());
    std::unique_ptr<Extractor> extractor = createJobExtractor(chain);
    if (extractor) extractor->keepInFront(front.processing());
    currentDrive->readTally.clear();
    const char* failure = nullptr;
    if (options.globalMode != DistributedClient && currentDrive->spinUp() != 0)
        failure = "Error spinning up CDROM";
    else if (!extractor || extractor->run(front.readFirst(), front.readEnd(), meter) != 0)
        failure = "Extraction Returned Error State";
    // The extractor has closed the output, so its file can be named or
    // encoded; the chain stays for the verification's look at it.
    int result = 0;
    if (!failure) {
        result = settleJobOutput(name, JobEnd::Complete);
    } else {
        settleJobOutput(name, meter.hasBeenEscaped() ? JobEnd::Stopped : JobEnd::Failed);
        std::printf("%s\n", failure);
        std::fflush(stdout);
        result = 1;
    }
    if (verification) verification->jobEnded(name, result == 0, currentDrive->readTally);
    return result;
}
