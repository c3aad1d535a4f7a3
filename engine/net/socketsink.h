#pragma once

#include "engine/pipeline/audiostage.h"

// The tail of the server's chain for one extraction command: every block
// goes to the client, which must acknowledge it before the next one.
// The socket stays with the server.
class SocketSink : public AudioStage {
public:
    explicit SocketSink(int socket);
    // 0 when the client answered "ACK"; 1 for any other answer, none, or a
    // block that could not be sent.
    int write(const uint8_t* data, int byteCount) override;
    // Notes that the extractor is done; the end of the stream waits for
    // endStream, which knows why it was done.
    int close() override;

    // Once the extractor's run returned `runResult`: sends the end of the
    // stream, "0", when the stream is whole or the client itself refused a
    // block, and returns 0. A stream cut short on this side (a read that
    // failed, a chain that could not be opened or closed) gets no end, so
    // that the client cannot take it for a whole one; nor does a client
    // that stopped answering. Then the result is 1: the caller drops the
    // connection.
    int endStream(int runResult);

private:
    int socket_;
    bool closed_ = false;
    bool refused_ = false;
    bool lost_ = false;
};
