#include "engine/net/remoteextractor.h"

#include "engine/control/progressmeter.h"
#include "engine/net/blockstream.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kFrameBytes = 4;  // one stereo pair of 16-bit samples

std::string wrongSize(long long expected, long long received) {
    return "Expected " + std::to_string(expected) + " Bytes From The Server, Received " + std::to_string(received);
}

}  // namespace

RemoteExtractor::RemoteExtractor(int socket, std::unique_ptr<AudioStage>& output, int mode)
    : Extractor(output), socket_(socket), mode_(mode) {}

// A block larger than the buffer is passed on in pieces as it arrives. An
// output that fails (a full disk) ends the run as a broken connection does.
int RemoteExtractor::takeBlock(int byteCount) {
    int remaining = byteCount;
    while (remaining > 0) {
        int piece = std::min(remaining, kMaxBlockBytes);
        if (receiveExactly(socket_, buffer_, piece, kReplyTimeoutMs, pace_) != 0) return 1;
        remaining -= piece;
        if (output->write(buffer_, piece) != 0) return 1;
    }
    return 0;
}

int RemoteExtractor::run(int startLba, int endLba, ProgressMeter& progress) {
    const char* command = extractCommandFor(mode_);
    if (!command) return 1;
    sendFormatted(socket_, "%s\r\n", command);
    sendFormatted(socket_, "%d\r\n", startLba);
    sendFormatted(socket_, "%d\r\n", endLba);
    if (output->open() != 0) return 1;
    beginProgress(progress, "Extracting");

    // The range says how much audio is due; a server may send neither more
    // nor less, however it ends the stream.
    const long long expected = static_cast<long long>(sectorsBetween(startLba, endLba)) * kSectorBytes;
    long long received = 0;
    int stop = 0;
    for (;;) {
        char line[kLineBufferBytes];
        // The server may read the whole range before its first block (memory
        // mode), so the wait has no limit; a server that vanished is found
        // out by the connection's keep-alive.
        if (receiveStreamLine(socket_, line, sizeof line, kWaitForever, pace_) == 0) return failRead(progress);
        int byteCount = 0;
        if (parseProtocolNumber(line, byteCount) != 0 || byteCount < 0 || byteCount % kFrameBytes != 0)
            return failRead(progress);
        if (byteCount == 0) break;
        if (received + byteCount > expected) {
            sendFormatted(socket_, "%s\r\n", kNak);
            return failRead(progress, wrongSize(expected, received + byteCount).c_str());
        }
        // The answer depends only on what happened before this block, so it
        // goes out at once: the server sends its next block while this one
        // is still arriving and being processed here.
        sendFormatted(socket_, "%s\r\n", stop == 0 ? kAck : kNak);
        if (takeBlock(byteCount) != 0) return failRead(progress);
        received += byteCount;
        if (stop != 0) break;
        progress.setPercent(percentOf(received, expected));
        stop = progress.update();
    }
    const int result = finishRun(progress, stop);
    if (stop == 0 && received != expected) {
        std::printf("%s\n", wrongSize(expected, received).c_str());
        std::fflush(stdout);
        return 1;
    }
    return result;
}
