#include "engine/net/distributedserver.h"

#include "engine/control/console.h"
#include "engine/control/exitcodes.h"
#include "engine/control/options.h"
#include "engine/control/progressmeter.h"
#include "engine/drive/cddrive.h"
#include "engine/drive/extractors.h"
#include "engine/net/blockstream.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"
#include "engine/net/socketsink.h"
#include "engine/pipeline/stagechain.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

namespace {

// A failing accept (no descriptors left, say) is tried again after this.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(100);

void say(const char* message) {
    std::printf("%s\n", message);
    std::fflush(stdout);
}

void sendNumber(int socket, int value) { sendFormatted(socket, "%d\r\n", value); }

void sendText(int socket, const char* text) {
    char line[kNameCapacity];
    std::snprintf(line, sizeof line, "%s", text);
    flattenLine(line);
    sendFormatted(socket, "%s\r\n", line);
}

void answerTestUnitReady(int socket, CdDrive& drive) {
    say("Testing Unit Ready");
    sendNumber(socket, drive.testUnitReady());
}

void answerInquiry(int socket, CdDrive& drive) {
    say("Executing Inquiry Command");
    sendNumber(socket, drive.inquiry());
    sendText(socket, drive.identity);
}

// Sent in full even when the read failed: the client expects every line.
void answerReadToc(int socket, CdDrive& drive) {
    say("Reading Table of Contents");
    drive.namesValid = 0;
    sendNumber(socket, drive.readToc());
    int first = drive.firstTrack();
    int last = drive.lastTrack();
    sendNumber(socket, first);
    sendNumber(socket, last);
    for (int track = first; track <= last; ++track) {
        sendNumber(socket, drive.trackStart(track));
        sendNumber(socket, drive.trackControl(track));
    }
    sendNumber(socket, drive.trackEnd(last));
    sendNumber(socket, drive.namesValid);
    if (drive.namesValid != 1) return;
    sendText(socket, drive.discTitle);
    sendText(socket, drive.discArtist);
    for (int track = first; track <= last; ++track)
        sendText(socket, track >= 1 && track <= kMaxTracks ? drive.trackTitles[track - 1] : "");
}

// 0 to go on serving the client, 1 to drop it: it went away, or a stream
// could not be ended as a whole one.
int answerExtraction(int socket, int mode, CdDrive& drive, AspiLibrary& library) {
    char line[kLineBufferBytes];
    int startLba = 0;
    int endLba = 0;
    if (receiveLine(socket, line, sizeof line) == 0) return 1;
    bool readable = parseProtocolNumber(line, startLba) == 0;
    if (receiveLine(socket, line, sizeof line) == 0) return 1;
    readable = readable && parseProtocolNumber(line, endLba) == 0;
    // The range is judged against the disc in the drive; a client may ask
    // before anyone read its table of contents.
    if (drive.lastTrack() == 0) drive.readToc();
    // Nothing is read for a range that is no part of the disc: the stream
    // ends before it began.
    if (!readable || !extractionRangeValid(drive, startLba, endLba)) {
        sendFormatted(socket, "0\r\n");
        return 0;
    }

    std::unique_ptr<SocketSink> tail(new (std::nothrow) SocketSink(socket));
    if (!tail) return 1;
    SocketSink& sink = *tail;
    std::unique_ptr<AudioStage> chain = buildStageChain(std::move(tail));
    if (!chain) return 1;
    std::unique_ptr<ProgressMeter> progress(new (std::nothrow) ProgressMeter);
    std::unique_ptr<Extractor> extractor = createExtractor(mode, drive, chain, library);
    if (!progress || !extractor) return 1;
    int result = extractor->run(startLba, endLba, *progress);
    if (mode == 1) {
        std::printf("%d\n", result);
        std::fflush(stdout);
    }
    int ended = sink.endStream(result);
    progress.reset();
    extractor.reset();
    chain.reset();
    return ended;
}

// 0 to wait for the next command, 1 to close the connection.
int execute(const char* line, int socket, CdDrive& drive, AspiLibrary& library) {
    if (std::strcmp(line, "TESTUNITREADY") == 0) {
        answerTestUnitReady(socket, drive);
    } else if (std::strcmp(line, "INQUIRY") == 0) {
        answerInquiry(socket, drive);
    } else if (std::strcmp(line, "READTOC") == 0) {
        answerReadToc(socket, drive);
    } else if (int mode = extractModeOf(line); mode >= 0) {
        return answerExtraction(socket, mode, drive, library);
    } else if (std::strcmp(line, "QUIT") == 0) {
        return 1;
    }
    return 0;
}

int openListener(int port) {
    if (port < 1 || port > 65535) return -1;
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (listener < 0) return -1;
    // A server started again at once must not wait for the connections of
    // the last one to time out.
    int reuse = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0) {
        close(listener);
        return -1;
    }
    return listener;
}

// A client counts the audio of its range: stages that make the stream
// longer or shorter than the range would fail every job. They belong on
// the client's side.
void leaveLengthToTheClient() {
    if (!options.trimLeading && !options.trimTrailing && options.padLeadingSeconds == 0.0 &&
        options.padTrailingSeconds == 0.0)
        return;
    say("Silence Trimming And Padding Are Left To The Client");
    options.trimLeading = false;
    options.trimTrailing = false;
    options.padLeadingSeconds = 0.0;
    options.padTrailingSeconds = 0.0;
}

}  // namespace

bool extractionRangeValid(const CdDrive& drive, int startLba, int endLba) {
    int leadOut = drive.trackEnd(drive.lastTrack());
    return startLba >= 0 && startLba < endLba && endLba <= leadOut;
}

void serveConnection(int socket, CdDrive& drive, AspiLibrary& library) {
    sendFormatted(socket, "%s\r\n", kServerGreeting);
    char line[kLineBufferBytes];
    for (;;) {
        say("Waiting For Command");
        // A client may think for as long as it likes between commands; one
        // that vanished is found out by the connection's keep-alive.
        if (receiveLine(socket, line, sizeof line, kWaitForever) == 0) {
            say("Connection Terminated From The Other End");
            return;
        }
        if (execute(line, socket, drive, library) != 0) return;
    }
}

int runDistributedServer(CdDrive& drive, AspiLibrary& library) {
    setConsoleTitle("VOLTA: Distributed Server Mode");
    leaveLengthToTheClient();
    int listener = openListener(options.serverPort);
    if (listener < 0) {
        say("Trouble Binding?");
        return kExitBindFailed;
    }
    for (;;) {
        listen(listener, 1);
        say("Waiting For Connection");
        int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno != EINTR) std::this_thread::sleep_for(kAcceptRetryDelay);
            continue;
        }
        say("Connection Accepted");
        tuneBlockConnection(connection, kStreamStallSeconds);
        serveConnection(connection, drive, library);
        say("Closing Connection");
        closeSocket(connection);
    }
}
