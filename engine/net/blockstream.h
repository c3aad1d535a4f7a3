#pragma once

#include <chrono>
#include <cstdint>

// Audio blocks on a connection of the distributed protocol: a line that
// announces the length, then the raw bytes.

// Prepares a connection that carries blocks: small lines leave at once
// instead of waiting behind a block, a send stalled by a peer that stopped
// reading gives up after `stallSeconds`, and a peer that vanished without
// closing is noticed.
void tuneBlockConnection(int socket, int stallSeconds);

// Sends "%d\r\n" with `byteCount`, then the bytes, as one send. 0 when all
// of it went out.
int sendBlock(int socket, const uint8_t* data, int byteCount);

// How the receiver of one stream waits for its peer. Every block waits
// once for the other side, and a process put to sleep takes tens of
// microseconds to wake again, more than copying the block takes. So a wait
// first looks for the answer awake, for at most kLook. Looking in vain (a
// busy machine, a slow network) makes the following waits sleep at once:
// 1, 3, 7 ... up to 2^kMostMisses - 1 of them, so that little processor
// time goes to looking where it does not pay.
class PeerPace {
public:
    static constexpr std::chrono::microseconds kLook{50};
    static constexpr int kMostMisses = 6;

    bool shouldLook();
    void answeredWhileLooking();
    void lookedInVain();

private:
    int misses_ = 0;
    int skip_ = 0;  // waits still to sleep at once
};

// One line of the stream (a block length, an answer), as receiveLine
// gives it: terminator cut, the count of bytes taken with the terminator,
// 0 when the peer closed, the connection failed or no line came within
// `timeoutMs` (-1: no limit). Longer lines are cut to the buffer. Takes
// the line in a few calls instead of one per byte, and never a byte of
// what follows it.
int receiveStreamLine(int socket, char* buffer, int capacity, int timeoutMs, PeerPace& pace);

// Receives exactly `byteCount` bytes. 0 when they all arrived; 1 when the
// peer closed, the connection failed or no byte came for `timeoutMs`.
int receiveExactly(int socket, uint8_t* into, int byteCount, int timeoutMs, PeerPace& pace);

// Closes the connection once the peer has closed its end too, so that the
// last line sent is read there before the connection goes; after
// `timeoutMs` it is closed anyway. Whatever the peer still sends is dropped.
void closeAfterPeer(int socket, int timeoutMs);
