#include "engine/net/remoteextractor.h"

#include "engine/control/progressmeter.h"
#include "engine/net/blockstream.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <algorithm>

namespace {
constexpr int kFrameBytes = 4;  // one stereo pair of 16-bit samples
}

RemoteExtractor::RemoteExtractor(int socket, std::unique_ptr<AudioStage>& output, int mode)
    : Extractor(output), socket_(socket), mode_(mode) {}

// A block larger than the buffer is passed on in pieces as it arrives.
int RemoteExtractor::takeBlock(int byteCount) {
    int remaining = byteCount;
    while (remaining > 0) {
        int piece = std::min(remaining, kMaxBlockBytes);
        if (receiveExactly(socket_, buffer_, piece, kReplyTimeoutMs, pace_) != 0) return 1;
        remaining -= piece;
        output->write(buffer_, piece);
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

    long long received = startLba;
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
        // The answer depends only on what happened before this block, so it
        // goes out at once: the server sends its next block while this one
        // is still arriving and being processed here.
        sendFormatted(socket_, "%s\r\n", stop == 0 ? kAck : kNak);
        if (takeBlock(byteCount) != 0) return failRead(progress);
        if (stop != 0) break;
        received += byteCount / kSectorBytes;
        progress.setPercent(percentOf(received - startLba, static_cast<long long>(endLba) - startLba));
        stop = progress.update();
    }
    return finishRun(progress, stop);
}
