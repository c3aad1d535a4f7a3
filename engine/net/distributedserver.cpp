#include "engine/net/distributedserver.h"

#include "engine/control/console.h"
#include "engine/control/exitcodes.h"
#include "engine/control/options.h"
#include "engine/control/progressmeter.h"
#include "engine/drive/cddrive.h"
#include "engine/drive/extractors.h"
#include "engine/net/blockstream.h"
#include "engine/net/clientlobby.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"
#include "engine/net/socketsink.h"
#include "engine/pipeline/stagechain.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

void say(const char* message) {
    std::printf("%s\n", message);
    std::fflush(stdout);
}

// What the session does after a command.
enum class Next {
    Command,  // waits for the next one
    Close,    // the client quit, or its stream could not be ended as a whole one
    Lost,     // the client took no reply in time, or went away
};

// One reply, sent as a whole within kReplySendSeconds: a client that does
// not read its replies cannot hold the server.
class Reply {
public:
    void number(int value) { line(std::to_string(value)); }

    // Cut to a name's length, on one line.
    void text(const char* text) {
        char flat[kNameCapacity];
        std::snprintf(flat, sizeof flat, "%s", text);
        flattenLine(flat);
        line(flat);
    }

    Next sendTo(int socket) const {
        return sendWithin(socket, lines_.data(), lines_.size(), kReplySendSeconds * 1000) == 0 ? Next::Command
                                                                                              : Next::Lost;
    }

private:
    void line(const std::string& text) {
        lines_ += text;
        lines_ += "\r\n";
    }

    std::string lines_;
};

Next answerTestUnitReady(int socket, CdDrive& drive) {
    say("Testing Unit Ready");
    Reply reply;
    reply.number(drive.testUnitReady());
    return reply.sendTo(socket);
}

Next answerInquiry(int socket, CdDrive& drive) {
    say("Executing Inquiry Command");
    Reply reply;
    reply.number(drive.inquiry());
    reply.text(drive.identity);
    return reply.sendTo(socket);
}

// Sent in full even when the read failed: the client expects every line.
Next answerReadToc(int socket, CdDrive& drive) {
    say("Reading Table of Contents");
    drive.namesValid = 0;
    Reply reply;
    reply.number(drive.readToc());
    int first = drive.firstTrack();
    int last = drive.lastTrack();
    reply.number(first);
    reply.number(last);
    for (int track = first; track <= last; ++track) {
        reply.number(drive.trackStart(track));
        reply.number(drive.trackControl(track));
    }
    reply.number(drive.trackEnd(last));
    reply.number(drive.namesValid);
    if (drive.namesValid == 1) {
        reply.text(drive.discTitle);
        reply.text(drive.discArtist);
        for (int track = first; track <= last; ++track)
            reply.text(track >= 1 && track <= kMaxTracks ? drive.trackTitles[track - 1] : "");
    }
    return reply.sendTo(socket);
}

Next answerExtraction(int socket, int mode, CdDrive& drive, AspiLibrary& library) {
    char line[kLineBufferBytes];
    int startLba = 0;
    int endLba = 0;
    if (receiveLine(socket, line, sizeof line) == 0) return Next::Close;
    bool readable = parseProtocolNumber(line, startLba) == 0;
    if (receiveLine(socket, line, sizeof line) == 0) return Next::Close;
    readable = readable && parseProtocolNumber(line, endLba) == 0;
    // The range is judged against the disc in the drive; a client may ask
    // before anyone read its table of contents.
    if (drive.lastTrack() == 0) drive.readToc();
    // Nothing is read for a range that is no part of the disc: the stream
    // ends before it began.
    if (!readable || !extractionRangeValid(drive, startLba, endLba)) {
        Reply end;
        end.number(0);
        return end.sendTo(socket);
    }

    std::unique_ptr<SocketSink> tail(new (std::nothrow) SocketSink(socket));
    if (!tail) return Next::Close;
    SocketSink& sink = *tail;
    std::unique_ptr<AudioStage> chain = buildStageChain(std::move(tail));
    if (!chain) return Next::Close;
    std::unique_ptr<ProgressMeter> progress(new (std::nothrow) ProgressMeter);
    std::unique_ptr<Extractor> extractor = createExtractor(mode, drive, chain, library);
    if (!progress || !extractor) return Next::Close;
    int result = extractor->run(startLba, endLba, *progress);
    if (mode == 1) {
        std::printf("%d\n", result);
        std::fflush(stdout);
    }
    int ended = sink.endStream(result);
    progress.reset();
    extractor.reset();
    chain.reset();
    return ended == 0 ? Next::Command : Next::Close;
}

Next execute(const char* line, int socket, CdDrive& drive, AspiLibrary& library) {
    if (std::strcmp(line, "TESTUNITREADY") == 0) return answerTestUnitReady(socket, drive);
    if (std::strcmp(line, "INQUIRY") == 0) return answerInquiry(socket, drive);
    if (std::strcmp(line, "READTOC") == 0) return answerReadToc(socket, drive);
    if (int mode = extractModeOf(line); mode >= 0) return answerExtraction(socket, mode, drive, library);
    if (std::strcmp(line, "QUIT") == 0) return Next::Close;
    return Next::Command;
}

int openListener(int port) {
    if (port < 1 || port > 65535) return -1;
    // The lobby takes every connection that is there, and waits for the
    // next one in poll, never in accept.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
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
        listen(listener, kMaxWaitingConnections) != 0) {
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
    const int idleLimitMs = idleClientLimitMs();
    char line[kLineBufferBytes];
    for (;;) {
        say("Waiting For Command");
        if (receiveLine(socket, line, sizeof line, idleLimitMs) == 0) {
            say("Connection Terminated From The Other End");
            return;
        }
        switch (execute(line, socket, drive, library)) {
        case Next::Command: break;
        case Next::Close: return;
        case Next::Lost:
            say("Connection Terminated From The Other End");
            return;
        }
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
    ClientLobby lobby(listener);
    for (;;) {
        int connection = lobby.nextClient();
        serveConnection(connection, drive, library);
        say("Closing Connection");
        closeSocket(connection);
    }
}
