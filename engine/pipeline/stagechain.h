#pragma once

#include "engine/pipeline/audiostage.h"

#include <memory>

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

// The whole chain of one job: processing stages and the output for
// `options.encoder`; `name` is the output name without extension. None on
// failure.
std::unique_ptr<AudioStage> createAudioChain(const char* name);
