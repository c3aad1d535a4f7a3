#pragma once

#include <string>

// Keeps the requests of every run on this machine that shares `stampPath`
// at least `intervalMillis` apart, as a public service asks: each run
// books the next free moment in the stamp file's time and waits for it.
// The wait is bounded, so a clock set back or a crowd of runs delays a
// request by a few intervals at most. Without the file, no wait.
void waitForRequestSlot(const std::string& stampPath, int intervalMillis);
