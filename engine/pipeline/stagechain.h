#pragma once

#include "engine/pipeline/audiostage.h"

#include <memory>
#include <string>

constexpr int kOutputNameCapacity = 1024;

// The output file of the job whose chain was built last, and the two
// temporary files of the external-encoder path (names relative to the
// current directory).
extern char currentOutputName[kOutputNameCapacity];
extern char tempWaveName[kOutputNameCapacity];
extern char tempMp3Name[kOutputNameCapacity];

// Puts the processing stages selected by `options` in front of `tail`
// (which may be none) and returns the head. None if a stage cannot be
// created; the chain built so far is then destroyed.
std::unique_ptr<AudioStage> buildStageChain(std::unique_ptr<AudioStage> tail);

// The file a job named `name` (no extension) ends in: the name and the
// extension of the output; empty when the output writes no file.
std::string outputFileName(const char* name);

// The whole chain of one job: processing stages and the output for
// `options.encoder`; `name` is the output name without extension. None on
// failure.
std::unique_ptr<AudioStage> createAudioChain(const char* name);
