#pragma once

// Appends an ID3v1 tag with the current disc's names to the file just
// written; `track` below 1 leaves the title empty.
void tagOutput(int track);
