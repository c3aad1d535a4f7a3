#pragma once

// SDL maps some fifty libraries, which would cost every run several
// milliseconds before it starts, so the player and the monitor windows over
// it live in this module beside the program, which only a run that plays
// or shows windows loads.
constexpr const char* kSdlModule = "volta_sdl.so";
