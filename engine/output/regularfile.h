#pragma once

#include <cstdio>

// Opens `path` for binary writing, emptied, only when it is a regular file
// (or a new one): opening a FIFO would wait for a reader for ever, and a
// device is no place for a sound file. Null otherwise.
std::FILE* openRegularForWriting(const char* path);
