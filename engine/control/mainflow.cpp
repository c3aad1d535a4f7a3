#include "engine/control/mainflow.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/cddb/cddbclient.h"
#include "engine/common/owned.h"
#include "engine/control/banner.h"
#include "engine/control/cdplayer.h"
#include "engine/control/console.h"
#include "engine/control/exitcodes.h"
#include "engine/control/fatal.h"
#include "engine/control/jobqueue.h"
#include "engine/control/options.h"
#include "engine/control/toclisting.h"
#include "engine/drive/aspi.h"
#include "engine/drive/cddrive.h"
#include "engine/drive/driveselect.h"
#include "engine/names/musicbrainzlookup.h"
#include "engine/net/blockstream.h"
#include "engine/net/distributedserver.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"
#include "engine/net/remotedrive.h"
#include "engine/output/acmformats.h"
#include "engine/output/bitrates.h"
#include "engine/output/externalencoder.h"
#include "engine/output/partialfile.h"
#include "engine/output/waveformat.h"
#include "engine/verify/ripverification.h"

namespace {

// How long the end of a client run waits for the server to take its QUIT.
constexpr int kQuitGraceMs = 2000;

// Each step returns kContinue, or the exit code that ends the run.
constexpr int kContinue = -1;

void printText(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void printBanner() {
    std::fputs(kBanner, stdout);
    std::fflush(stdout);
}

// A run ended by a signal leaves the output in progress under its final
// name, as ESC does; an encoder program still running is stopped first.
void cleanUpOnSignal() {
    discardTemporaryFilesOnSignal();
    finishOutputOnSignal();
}

// The socket layer needs no start-up on Linux; what remains is that a peer
// closing its end must show up as a failed send, not kill the process.
int startSockets() {
    if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR) return reportFatal(kExitSocketStartupFailed, "WSAStartup() != 0?");
    return kContinue;
}

void stopSockets() {}

// Prints what parsing had to say; returns its exit code when it ends the run.
int applyParse(const ParseResult& result) {
    printText(result.output);
    return result.stop ? result.exitCode : kContinue;
}

int readOptions(int argc, char** argv) {
    if (!environmentSwitchedOff(argc, argv)) {
        int code = applyParse(parseEnvironmentString());
        if (code != kContinue) return code;
    }
    int code = applyParse(parseArguments(argc, argv));
    if (code != kContinue) return code;
    // The rate may come from a switch of another encoder than the one chosen.
    int kbps = options.bitrate / 1000;
    if (bitrateWorks(options.encoder, kbps)) return kContinue;
    return reportFatal(kExitCommandLine, bitrateRefusal(options.encoder, std::to_string(kbps)).c_str());
}

void printModeMessage() {
    static const char* const kModeMessages[] = {"Running in Standalone Normal Mode",
                                                "Running in Distributed Client Mode",
                                                "Running in Distributed Server Mode"};
    std::printf("%s\n", kModeMessages[options.globalMode]);
    std::fflush(stdout);
}

// A local drive is set up only for work that touches it.
bool localDriveNeeded() {
    return options.listToc || options.jobCount > 0 || options.globalMode == DistributedServer ||
           options.cdPlayerMode || options.deviceScan;
}

// The connection stays open for the whole run: the remote drive and the
// extractor of every job use it.
int acquireRemoteDrive(int& socket) {
    socket = connectTo(options.serverName, options.serverPort);
    if (socket < 0) return reportFatal(kExitSocketFailed, "Could Not Open Socket");
    tuneBlockConnection(socket, kStreamStallSeconds);
    char line[kLineBufferBytes] = {};
    receiveLine(socket, line, sizeof line, kReplyTimeoutMs);
    char greeting[kLineBufferBytes];
    storeText(greeting, sizeof greeting, line, std::strlen(line));
    std::printf("Remote: %s\n", greeting);
    currentDrive = makeOwned<RemoteDrive>(socket);
    if (!currentDrive || currentDrive->inquiry() != 0) {
        currentDrive.reset();
        closeSocket(socket);
        return reportFatal(kExitRemoteInquiryFailed, "Could Not Execute Inquiry");
    }
    std::printf("Using CDROM Drive: %s\n", currentDrive->identity);
    std::fflush(stdout);
    return kContinue;
}

// The server is given the time to read QUIT before the connection goes.
void leaveServer(int socket) {
    if (socket < 0) return;
    sendFormatted(socket, "QUIT\r\n");
    closeAfterPeer(socket, kQuitGraceMs);
}

int acquireLocalDrive() {
    if (!localDriveNeeded()) return kContinue;
    if (int code = reportAspiInitialization(); code != 0) return code;
    if (options.deviceScan) {
        listDevices();
        return kExitSuccess;
    }
    int code = selectDrive();
    return code != 0 ? code : kContinue;
}

bool discIdentificationWanted() {
    return (options.jobCount > 0 && options.globalMode != DistributedServer) ||
           options.cdPlayerMode || options.listToc;
}

// Without names the run goes on under the alternate basename, with
// numbered names, or ends with `failure`.
int useAlternateBasename(const char* failure) {
    if (options.alternateBasename[0] == '\0') return reportFatal(kExitNoDiscNames, failure);
    options.cddbEnabled = false;
    std::memcpy(options.basename, options.alternateBasename, sizeof options.basename);
    return kContinue;
}

// A lookup that keeps failing falls back to the alternate basename, with
// numbered names, or ends the run. A result of 2 is final at once.
int lookUpDiscNames() {
    int result = identifyDisc(*currentDrive, options.cddbTryCount);
    return result == 0 ? kContinue : useAlternateBasename("CDDB Query Failed And No Alternate Basename");
}

// CD-TEXT names count as found names: they are used for naming files.
// MusicBrainz comes before CDDB, which is asked only when it gave nothing.
int readDiscNames() {
    if (int code = prepareDisc(); code != 0) return code;
    if (currentDrive->namesValid) {
        std::printf("Using CD-TEXT Information\n");
        std::fflush(stdout);
        options.cddbEnabled = true;
        return kContinue;
    }
    if (options.musicBrainzRelease > 0) {
        if (musicBrainzLookup(*currentDrive, options.musicBrainzRelease) == 0) {
            options.cddbEnabled = true;
            return kContinue;
        }
        // Without CDDB to ask, the run goes on as after a failed CDDB lookup.
        if (!options.cddbEnabled) return useAlternateBasename("MusicBrainz Query Failed And No Alternate Basename");
    }
    if (options.cddbEnabled && options.cddbTryCount >= 0) return lookUpDiscNames();
    return kContinue;
}

int playCd() {
    runCdPlayer();
    currentDrive.reset();
    return kExitSuccess;
}

// With /verify the disc is identified before the jobs.
std::unique_ptr<RipVerification> startVerification() {
    if (!options.verify || options.cdPlayerMode) return nullptr;
    std::unique_ptr<RipVerification> verification = makeOwned<RipVerification>();
    if (verification) verification->identify(*currentDrive);
    return verification;
}

bool cddaModeWanted() { return options.jobCount > 0 || options.globalMode == DistributedServer; }

int enterCddaMode() {
    if (!cddaModeWanted() || !currentDrive) return kContinue;
    if (currentDrive->enterCddaMode() == 0) return kContinue;
    currentDrive.reset();
    return reportFatal(kExitCddaModeFailed, "Could Not Initialize CDDA Mode");
}

// The queue's own exit code, on whichever thread it ran; with /verify,
// what the verification makes of it.
int runJobQueue(RipVerification* verification) {
    int code = options.queuePriority != 0 ? runQueueOnThread(options.queuePriority, verification)
                                          : runQueue(verification);
    if (verification) code = verification->finish(code);
    std::fflush(stdout);
    return code;
}

void releaseDrive() {
    if (!currentDrive) return;
    if (options.jobCount > 0 || options.globalMode == DistributedServer || options.cdPlayerMode)
        currentDrive->leaveCddaMode();
    currentDrive.reset();
}

// Comes after the drive and disc steps, so that options from the
// environment string alone can still list a table of contents first.
int checkCommandLine(int argc) {
    if (argc < 2) return reportFatal(kExitNoCommandLine, "No command line, try /?");
    return kContinue;
}

// CD audio as it is, or the format the user picks from the ACM layer's
// list; a run that writes nothing asks for nothing.
int chooseOutputFormat() {
    const bool writes = (options.jobCount > 0 || options.fileSpecCount > 0) && options.globalMode != DistributedServer;
    if (!options.useAcm || !writes) {
        setPcmOutputFormat();
        return kContinue;
    }
    outputFormat = WaveFormat{};
    AcmFormatChoose choose;
    choose.structureSize = sizeof choose;
    choose.format = &outputFormat;
    choose.formatSize = sizeof outputFormat;
    choose.title = "Select Output Format";
    if (acmFormatChooseA(choose) == 0) return kContinue;
    currentDrive.reset();
    return reportFatal(kExitAcmCancelled, "ACM Format Choose was cancelled");
}

}  // namespace

int runMain(int argc, char** argv) {
    initConsole();
    setTerminationCleanup(cleanUpOnSignal);
    // Past a file-size limit a write fails and the output reports it; the
    // signal would end the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    printBanner();
    if (int code = startSockets(); code != kContinue) return code;
    if (int code = readOptions(argc, argv); code != kContinue) return code;
    printModeMessage();
    int serverSocket = -1;
    int acquired = options.globalMode == DistributedClient ? acquireRemoteDrive(serverSocket) : acquireLocalDrive();
    if (acquired != kContinue) return acquired;
    bool identify = discIdentificationWanted();
    std::unique_ptr<RipVerification> verification;
    if (identify) {
        if (int code = readDiscNames(); code != kContinue) return code;
        if (options.listToc) printToc();
        verification = startVerification();
    }
    // With /l, checking the disc in the database is all a /verify run does.
    if (verification && options.listToc) {
        currentDrive.reset();
        leaveServer(serverSocket);
        return kExitSuccess;
    }
    if (int code = checkCommandLine(argc); code != kContinue) return code;
    if (options.globalMode == Standalone && options.cdPlayerMode) return playCd();
    if (int code = chooseOutputFormat(); code != kContinue) return code;
    if (int code = enterCddaMode(); code != kContinue) return code;
    int result = options.globalMode == DistributedServer ? runDistributedServer(*currentDrive, aspiLibrary())
                                                         : runJobQueue(verification.get());
    releaseDrive();
    leaveServer(serverSocket);
    stopSockets();
    return result;
}
