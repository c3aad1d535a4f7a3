#include "engine/net/socketsink.h"

#include "engine/net/blockstream.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <cstring>

SocketSink::SocketSink(int socket) : socket_(socket) {}

int SocketSink::takeAnswer() {
    if (!awaiting_) return 0;
    awaiting_ = false;
    char answer[kLineBufferBytes];
    if (receiveStreamLine(socket_, answer, sizeof answer, kStreamStallSeconds * 1000, pace_) == 0) {
        lost_ = true;
        return 1;
    }
    if (std::strcmp(answer, kAck) != 0) {
        refused_ = true;
        return 1;
    }
    return 0;
}

int SocketSink::write(const uint8_t* data, int byteCount) {
    // An empty block would read as the end of the stream.
    if (byteCount <= 0) return 0;
    if (lost_ || refused_ || takeAnswer() != 0) return 1;
    if (sendBlock(socket_, data, byteCount) != 0) {
        lost_ = true;
        return 1;
    }
    awaiting_ = true;
    return 0;
}

int SocketSink::close() {
    closed_ = true;
    return takeAnswer();
}

int SocketSink::endStream(int runResult) {
    if (!closed_ || lost_ || (runResult != 0 && !refused_)) return 1;
    sendFormatted(socket_, "0\r\n");
    return 0;
}
