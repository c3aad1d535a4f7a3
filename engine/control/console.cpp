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

}  // namespace

void initConsole() { installRestoreHooks(); }

void setTerminationCleanup(void (*cleanup)()) { terminationCleanup = cleanup; }

int pollKey() {
    if (isatty(STDIN_FILENO) && !enterKeyMode()) return -1;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0 || (input.revents & POLLNVAL)) return -1;
    unsigned char key = 0;
    if (read(STDIN_FILENO, &key, 1) != 1) return -1;
    return key;
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
