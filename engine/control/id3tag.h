#pragma once

class RipVerification;

// Tags the file just written with the current disc's names, as its format
// takes them: the rich tags of the format, and the ID3v1 tag appended to
// the design's formats; `track` below 1 leaves the title empty. With
// /verify, what the copy of the track proved goes into the rich tags too.
void tagOutput(int track, const RipVerification* verification = nullptr);
