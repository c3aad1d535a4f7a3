#pragma once

// Prepares the console for the run. Mouse input has no meaning on a Linux
// terminal; what is left is making sure the terminal gets its settings back
// on every way out (normal exit, SIGINT, SIGTERM, SIGHUP, SIGQUIT).
void initConsole();

// Work that SIGINT, SIGTERM, SIGHUP and SIGQUIT must still do before the
// process ends. It runs inside the signal handler, so it may only make
// async-signal-safe calls.
void setTerminationCleanup(void (*cleanup)());

// The next key, or -1 when none is waiting; never blocks for long. On a
// terminal the key is read without echo, and the keys that send a sequence
// beginning with ESC (arrows, function keys, Alt with a key) are read whole
// and give -1: only ESC on its own is 27. From a pipe or file each byte is
// a key (27 is ESC) and the end of the input means no key.
int pollKey();

// Sets the terminal window title; does nothing unless standard output is a
// terminal.
void setConsoleTitle(const char* text);
