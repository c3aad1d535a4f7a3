#pragma once

// Tags the file just written with the current disc's names, as its format
// takes them: the rich tags of the format, and the ID3v1 tag appended to
// the design's formats; `track` below 1 leaves the title empty.
void tagOutput(int track);
