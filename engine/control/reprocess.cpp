#include "engine/control/reprocess.h"

#include "engine/common/riffchunks.h"
#include "engine/control/joboutput.h"
#include "engine/control/naming.h"
#include "engine/control/options.h"
#include "engine/control/progressmeter.h"
#include "engine/pipeline/audiostage.h"
#include "engine/pipeline/stagechain.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <glob.h>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

// "song.wav" gives "song", to which " (m)" is added. Only a dot inside the
// file's own name cuts, and not one that starts it.
std::string reprocessedName(const char* fileName) {
    std::string name = fileName;
    size_t base = name.find_last_of("/\\");
    base = base == std::string::npos ? 0 : base + 1;
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > base) name.resize(dot);
    return name;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Finds the "data" chunk and leaves the file at its first sample. Returns
// the bytes of whole stereo frames the chunk really holds (a truncated file
// holds fewer than it declares), or -1 when there is no data chunk before
// the end of the file.
long long findSamples(std::FILE* file) {
    if (::fseeko(file, 0, SEEK_END) != 0) return -1;
    long long fileSize = ::ftello(file);
    long long samples = -1;
    auto readChunkHeader = [file](long long at, uint8_t* header) {
        constexpr size_t kBytes = kRiffChunkHeaderBytes;
        return ::fseeko(file, at, SEEK_SET) == 0 && std::fread(header, 1, kBytes, file) == kBytes ? 0 : 1;
    };
    walkRiffChunks(fileSize, readChunkHeader, [&](const RiffChunk& chunk) {
        if (!isChunk(chunk, "data")) return false;
        samples = std::min(chunk.size, fileSize - chunk.bodyOffset) & ~3LL;
        return true;
    });
    return samples;
}

}  // namespace

int reprocessPatterns() {
    if (options.fileSpecCount == 0) return 0;
    std::printf("\n");
    int result = 0;
    for (int i = 0; i < options.fileSpecCount && result == 0; ++i) {
        // Patterns name sub-directories as templates do.
        std::string pattern = pathOnDisk(options.fileSpecs[i]);
        glob_t matches{};
        if (::glob(pattern.c_str(), GLOB_NOESCAPE, nullptr, &matches) == 0) {
            for (size_t m = 0; m < matches.gl_pathc && result == 0; ++m) {
                struct stat info {};
                const char* path = matches.gl_pathv[m];
                if (::stat(path, &info) != 0 || S_ISDIR(info.st_mode)) continue;
                // A FIFO or a device would block the run or never end.
                if (!S_ISREG(info.st_mode))
                    std::printf("Warning, %s Is Not A Regular File, Skipping\n", path);
                else
                    result = reprocessFile(path);
            }
        }
        ::globfree(&matches);
    }
    return result;
}

int reprocessFile(const char* fileName) {
    std::string name = fitOutputName(reprocessedName(fileName), " (m)");
    if (prepareJobOutput(name) != 0) return 1;
    FileHandle file(std::fopen(fileName, "rb"));
    if (!file) return 0;
    std::unique_ptr<AudioStage> chain = createAudioChain(name.c_str());
    if (!chain || chain->open() != 0) {
        chain.reset();
        settleJobOutput(name, JobEnd::Failed);
        std::printf("Error Creating Audio Processor\n");
        return 1;
    }
    long long total = findSamples(file.get());
    if (total < 0) {
        int closed = chain->close();
        chain.reset();
        return settleJobOutput(name, closed == 0 ? JobEnd::Complete : JobEnd::Failed);
    }

    ProgressMeter meter;
    std::string title = std::string("Processing ") + fileName;
    meter.setTitle(title.c_str());
    meter.begin();
    meter.setPercent(0);
    int stop = meter.update();
    bool failed = false;
    uint8_t block[32768];
    long long remaining = total;
    while (remaining > 0 && stop == 0) {
        size_t piece = static_cast<size_t>(std::min<long long>(remaining, sizeof block));
        size_t got = std::fread(block, 1, piece, file.get()) & ~static_cast<size_t>(3);
        if (got == 0) break;
        failed = chain->write(block, static_cast<int>(got)) != 0;
        stop = failed ? 1 : 0;
        remaining -= static_cast<long long>(got);
        meter.setPercent(static_cast<int>((total - remaining) * 100 / total));
        if (meter.update() != 0) stop = 1;
    }
    meter.setPercent(100);
    meter.update();
    if (chain->close() != 0) failed = true;
    chain.reset();
    file.reset();
    std::printf("\n");
    // ESC finishes the output normally: what was read is the file.
    return settleJobOutput(name, failed ? JobEnd::Failed : JobEnd::Complete);
}
