#pragma once

#include "engine/pipeline/audiostage.h"

// The end of a chain whose output is not wanted: accepts and discards
// everything, and every operation succeeds.
class NullSink : public AudioStage {
public:
    NullSink();
};
