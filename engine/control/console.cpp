#include "engine/control/console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// The terminal's settings from before the first key poll; the signal
// handlers need them, so they cannot live in an object.
termios savedMode;
volatile sig_atomic_t keyModeActive = 0;
bool hooksInstalled = false;
void (*volatile terminationCleanup)() = nullptr;

void restoreTerminal() {
    if (keyModeActive) {
        tcsetattr(STDIN_FILENO, TCSANOW, &savedMode);
        keyModeActive = 0;
    }
}

// Restores the terminal, then lets the signal do what it would have done.
void onTerminatingSignal(int number) {
    if (terminationCleanup) terminationCleanup();
    restoreTerminal();
    std::signal(number, SIG_DFL);
    std::raise(number);
}

void installRestoreHooks() {
    if (hooksInstalled) return;
    hooksInstalled = true;
    std::atexit(restoreTerminal);
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int number : kSignals) {
        struct sigaction current {};
        // Leave alone signals that someone already ignores or handles.
        if (sigaction(number, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction handler {};
        handler.sa_handler = onTerminatingSignal;
        sigemptyset(&handler.sa_mask);
        sigaction(number, &handler, nullptr);
    }
}

// Switches the terminal to unbuffered input without echo. Only a
// foreground process may change the terminal; a background one gets no keys.
bool enterKeyMode() {
    if (tcgetpgrp(STDIN_FILENO) != getpgrp()) return false;
    if (keyModeActive) return true;
    installRestoreHooks();
    termios mode;
    if (tcgetattr(STDIN_FILENO, &mode) != 0) return false;
    savedMode = mode;
    mode.c_lflag &= ~(ICANON | ECHO);
    mode.c_cc[VMIN] = 0;
    mode.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0) return false;
    keyModeActive = 1;
    return true;
}

constexpr int kEscape = 27;

// A terminal sends the bytes of one key together, so a key's sequence has
// ended, and an ESC stands alone, when nothing follows within this time.
constexpr int kSequenceGapMs = 50;

int readByteWithin(int timeoutMs) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, timeoutMs) <= 0 || (input.revents & POLLNVAL)) return -1;
    unsigned char byte = 0;
    if (read(STDIN_FILENO, &byte, 1) != 1) return -1;
    return byte;
}

// The rest of a sequence that began with ESC and `introducer`: CSI
// (arrows, editing and function keys: parameters, then one final byte),
// SS3 (F1-F4 and the keypad: one byte) or the Linux console's F1-F5
// ("[[" and a letter). Alt with a key sends ESC and the key alone.
void swallowSequence(int introducer) {
    if (introducer == 'O') {
        readByteWithin(kSequenceGapMs);
        return;
    }
    if (introducer != '[') return;
    int byte = readByteWithin(kSequenceGapMs);
    if (byte == '[') {
        readByteWithin(kSequenceGapMs);
        return;
    }
    while (byte >= 0x20 && byte < 0x40) byte = readByteWithin(kSequenceGapMs);
}

// After an ESC byte from a terminal: ESC itself when nothing follows, else
// a whole key sequence, read and swallowed.
int readEscapeKey() {
    int next = readByteWithin(kSequenceGapMs);
    if (next < 0) return kEscape;
    // Some terminals send Alt with an arrow as ESC and the arrow's sequence;
    // ESC twice in a row is two presses of ESC.
    if (next == kEscape) {
        int introducer = readByteWithin(kSequenceGapMs);
        if (introducer < 0) return kEscape;
        swallowSequence(introducer);
        return -1;
    }
    swallowSequence(next);
    return -1;
}

}  // namespace

void initConsole() { installRestoreHooks(); }

void setTerminationCleanup(void (*cleanup)()) { terminationCleanup = cleanup; }

int pollKey() {
    bool terminal = isatty(STDIN_FILENO);
    if (terminal && !enterKeyMode()) return -1;
    int key = readByteWithin(0);
    if (!terminal || key != kEscape) return key;
    return readEscapeKey();
}

void setConsoleTitle(const char* text) {
    if (!isatty(STDOUT_FILENO)) return;
    std::fputs("\033]0;", stdout);
    // Control characters in names would end the sequence or start another.
    for (const char* c = text; *c; ++c) {
        unsigned char ch = static_cast<unsigned char>(*c);
        if (ch >= 0x20 && ch != 0x7f) std::fputc(ch, stdout);
    }
    std::fputs("\007", stdout);
    std::fflush(stdout);
}
