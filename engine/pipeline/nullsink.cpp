#include "engine/pipeline/nullsink.h"

NullSink::NullSink() : AudioStage(nullptr) {}
