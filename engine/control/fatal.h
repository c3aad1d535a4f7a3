#pragma once

// Prints one line (a newline is added) to standard output and ends the
// process with `code`. Exit handlers run, so the terminal is restored.
[[noreturn]] void fatalExit(int code, const char* message);
