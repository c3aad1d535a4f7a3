#include "engine/control/joboutput.h"

#include "engine/control/naming.h"
#include "engine/control/options.h"
#include "engine/output/externalencoder.h"
#include "engine/output/partialfile.h"
#include "engine/pipeline/stagechain.h"

#include <unistd.h>

#include <cstdio>

int prepareJobOutput(const std::string& name) {
    const std::string finalName = outputFileName(name.c_str());
    return finalName.empty() ? 0 : prepareOutputFile(finalName.c_str());
}

int settleJobOutput(const std::string& name, JobEnd end) {
    const std::string finalName = outputFileName(name.c_str());
    if (finalName.empty()) return end == JobEnd::Complete ? 0 : 1;
    if (isExternalEncoder(options.encoder)) {
        // A failed job is encoded as far as it got, like the encoders of
        // the chain do; a stopped one is dropped, as ever.
        const bool wroteAudio = ::access(tempWaveName, F_OK) == 0;
        if (end == JobEnd::Stopped || (end == JobEnd::Failed && !wroteAudio)) {
            discardTemporaryFiles();
            return 1;
        }
        const int encoded = encodeToMp3(name.c_str(), end == JobEnd::Complete);
        return end == JobEnd::Complete ? encoded : 1;
    }
    const std::string partial = partialName(finalName.c_str());
    switch (end) {
    case JobEnd::Complete:
        return moveToFinalName(partial.c_str(), finalName.c_str());
    case JobEnd::Stopped:
        std::rename(pathOnDisk(partial.c_str()).c_str(), pathOnDisk(finalName.c_str()).c_str());
        return 1;
    case JobEnd::Failed:
        keepAsPartial(partial.c_str(), finalName.c_str());
        currentOutputName[0] = '\0';
        return 1;
    }
    return 1;
}
