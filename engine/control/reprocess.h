#pragma once

// Runs one existing WAV file through the audio chain into "<name> (m)".
// 0 unless its output failed (then the failure has been reported).
int reprocessFile(const char* fileName);

// Every file matched by the /* patterns, through reprocessFile, up to the
// first whose output failed. 0 when none did.
int reprocessPatterns();
