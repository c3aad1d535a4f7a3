#pragma once

// The distributed protocol's fixed words, its extraction commands and how
// long each side waits for the other.

constexpr int kDefaultServerPort = 9999;

constexpr const char* kServerGreeting = "TANAGER 2.80 Release Distributed Server Ready";
constexpr const char* kAck = "ACK";
constexpr const char* kNak = "NAK";

// The command word that asks the server for extraction mode `mode` (0 burst,
// 1 normal, 2 sync, 3 memory); none for any other mode.
const char* extractCommandFor(int mode);

// The extraction mode a command line asks for, or -1 when it is none of the
// four commands. The comparison is exact and case-sensitive.
int extractModeOf(const char* line);

// Replies to commands: a drive may have to spin up and settle first.
constexpr int kReplyTimeoutMs = 120000;

// The server serves one client at a time, and no client may hold it for
// ever:
// - per block: a client that neither reads nor acknowledges a block within
//   this time has gone away and is dropped;
constexpr int kStreamStallSeconds = 30;
// - a connection greeted while no client is served is closed when it sends
//   no command within this time;
constexpr int kFirstCommandSeconds = 30;
// - a served client that sends no command for this long is dropped (an
//   external encoder may run for minutes between two of its jobs);
constexpr int kIdleClientSeconds = 600;
// - a reply that cannot be sent within this time ends the client's session;
constexpr int kReplySendSeconds = 30;
// - at most this many greeted connections wait for their first command;
//   beyond, the one that has waited longest is closed.
constexpr int kMaxWaitingConnections = 256;

// The idle limit in milliseconds: kIdleClientSeconds, unless the
// environment variable VOLTA_SERVER_IDLE_SECONDS gives a positive number of
// seconds (the tests' way of shortening it).
int idleClientLimitMs();

// A protocol number: optional minus sign and decimal digits, nothing else,
// within the range of int. 0 when `line` is one, stored in `value`.
int parseProtocolNumber(const char* line, int& value);

// A text sent as one protocol line: carriage returns and line feeds inside
// it would end the line early and shift every line after it.
void flattenLine(char* text);
