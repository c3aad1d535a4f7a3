#include "engine/net/socketsink.h"

#include "engine/net/blockstream.h"
#include "engine/net/linesocket.h"
#include "engine/net/protocol.h"

#include <cstring>

SocketSink::SocketSink(int socket) : socket_(socket) {}

int SocketSink::write(const uint8_t* data, int byteCount) {
    // An empty block would read as the end of the stream.
    if (byteCount <= 0) return 0;
    char answer[kLineBufferBytes];
    if (sendBlock(socket_, data, byteCount) != 0 ||
        receiveLine(socket_, answer, sizeof answer, kStreamStallSeconds * 1000) == 0) {
        lost_ = true;
        return 1;
    }
    if (std::strcmp(answer, kAck) != 0) {
        refused_ = true;
        return 1;
    }
    return 0;
}

int SocketSink::close() {
    closed_ = true;
    return 0;
}

int SocketSink::endStream(int runResult) {
    if (!closed_ || lost_ || (runResult != 0 && !refused_)) return 1;
    sendFormatted(socket_, "0\r\n");
    return 0;
}
