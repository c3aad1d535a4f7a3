#pragma once

#include "engine/drive/extractor.h"
#include "engine/net/blockstream.h"
#include "engine/pipeline/audiostage.h"

// Asks a distributed server to extract a range in one of its modes and
// feeds the blocks it streams back into the local chain.
class RemoteExtractor : public Extractor {
public:
    // `mode`: the extraction mode the server is to use (0 burst, 1 normal,
    // 2 sync, 3 memory). The socket stays with the caller.
    RemoteExtractor(int socket, std::unique_ptr<AudioStage>& output, int mode);
    // 0 when the server ended the stream after exactly the audio of the
    // range; non-zero when it sent more or less (said in one line), the
    // connection broke, the server sent something that is no stream, the
    // output failed, or the user pressed ESC (which takes effect one block
    // late: the block that comes after it is still written, then refused).
    // Nothing past the range's size is written.
    int run(int startLba, int endLba, ProgressMeter& progress) override;

private:
    // Receives one announced block of `byteCount` bytes and writes it on.
    // Returns 0, or 1 when the connection broke or the output failed.
    int takeBlock(int byteCount);

    int socket_;
    int mode_;
    PeerPace pace_;
    uint8_t buffer_[kMaxBlockBytes];
};
