#pragma once

// Runs one existing WAV file through the audio chain into "<name> (m)".
void reprocessFile(const char* fileName);

// Every file matched by the /* patterns, through reprocessFile.
void reprocessPatterns();
