#pragma once

#include <chrono>
#include <cstddef>

// LineSocket: the operations on one connected TCP stream socket shared by
// the CDDB lookup and the distributed modes. The socket is a plain handle;
// a negative handle means no connection. Lines travel ended by "\r\n".

constexpr int kLineBufferBytes = 256;       // distributed protocol lines
constexpr int kRawLineBufferBytes = 4096;   // CDDB lines
constexpr int kReceiveTimeoutMs = 30000;    // per line, and for connecting
constexpr int kWaitForever = -1;            // for a peer that may stay idle

// Connects to `host` (a name or a dotted address) at `port`; the socket, or -1.
int connectTo(const char* host, int port);
// The same, giving up at `deadline` rather than after the usual wait.
int connectTo(const char* host, int port, std::chrono::steady_clock::time_point deadline);

// Sends `text` and "\r\n". Text past the 4096-byte line buffer is cut, the
// terminator always goes out. Send failures are left to the next receive.
void sendLine(int socket, const char* text);

// Sends the `length` bytes of `data` within `timeoutMs`, however slowly the
// peer reads. 0 when all went out; 1 when the time ran out or the
// connection failed.
int sendWithin(int socket, const char* data, size_t length, int timeoutMs);

// Formats into the 256-byte line buffer and sends it. A line cut by the
// buffer still ends with "\r\n".
void sendFormatted(int socket, const char* format, ...) __attribute__((format(printf, 2, 3)));

// One line, "\r\n" kept, NUL-terminated. Returns the number of bytes stored,
// or -1 when the peer closed, the socket failed or no full line arrived
// within `timeoutMs`. A line longer than the buffer is cut; the rest of it
// is read and dropped.
int receiveRawLine(int socket, char* buffer, int capacity, int timeoutMs = kReceiveTimeoutMs);

// One line with its terminator cut off (at the first CR and the first LF).
// Returns the number of bytes stored, terminator included; 0 when the peer
// closed before sending a byte, the socket failed or the line timed out.
// A peer closing in the middle of a line yields that partial line.
int receiveLine(int socket, char* buffer, int capacity, int timeoutMs = kReceiveTimeoutMs);

void closeSocket(int socket);

// Reads the lines of a line-only protocol (CDDB) through a buffer, one
// system call per buffer rather than per byte. Bytes after a line wait in
// the buffer for the next line, so a protocol that follows a line with raw
// data must use the functions above instead.
class LineReader {
public:
    using Clock = std::chrono::steady_clock;

    explicit LineReader(int socket) : socket_(socket) {}

    // As receiveRawLine; the wait also ends at `deadline`, however the
    // peer trickles its bytes.
    int receiveRawLine(char* buffer, int capacity, Clock::time_point deadline);
    // True when the last line failed because the peer let the time run out.
    bool timedOut() const { return timedOut_; }

private:
    int socket_;
    bool timedOut_ = false;
    char data_[kRawLineBufferBytes];
    int start_ = 0;  // first byte not yet taken
    int end_ = 0;
};
