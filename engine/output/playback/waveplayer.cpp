#include "engine/output/playback/waveplayer.h"

#include "engine/common/loadedmodule.h"
#include "engine/output/sdl/sdlmodule.h"

#include <cstdio>
#include <string>

std::unique_ptr<WavePlayer> createWavePlayer(int sampleRate, int bitsPerSample, int channels) {
    std::string reason;
    auto create =
        reinterpret_cast<CreateWavePlayerFunction>(loadedModuleFunction(kSdlModule, kCreateWavePlayerSymbol, &reason));
    if (!create) {
        std::printf("Could Not Open Audio Device: %s\n", reason.c_str());
        return nullptr;
    }
    return std::unique_ptr<WavePlayer>(create(sampleRate, bitsPerSample, channels));
}
