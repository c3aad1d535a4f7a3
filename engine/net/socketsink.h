#pragma once

#include "engine/net/blockstream.h"
#include "engine/pipeline/audiostage.h"

// The tail of the server's chain for one extraction command: every block
// goes to the client, which must acknowledge it before the next one goes.
// The answer to a block is awaited only when the next block (or the end)
// is due, so that the drive reads the next block while the client takes
// this one. The socket stays with the server.
class SocketSink : public AudioStage {
public:
    explicit SocketSink(int socket);
    // 0 when the block went out after the client answered "ACK" to the one
    // before; 1 when it did not: any other answer, none, or a failed send.
    int write(const uint8_t* data, int byteCount) override;
    // Takes the answer to the last block: 0 for "ACK", else 1. The end of
    // the stream waits for endStream, which knows why the run ended.
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
    int takeAnswer();

    int socket_;
    PeerPace pace_;
    bool awaiting_ = false;
    bool closed_ = false;
    bool refused_ = false;
    bool lost_ = false;
};
