#pragma once

// The engine's main sequence: console, banner, sockets, options, mode, then
// the drive work. Returns the process exit code.
int runMain(int argc, char** argv);
