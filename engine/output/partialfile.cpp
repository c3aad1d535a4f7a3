#include "engine/output/partialfile.h"

#include "engine/common/filewrites.h"

#include "engine/control/naming.h"
#include "engine/pipeline/stagechain.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace {

// 1 when something other than a regular file stands at `path`.
int holdsSpecialFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return S_ISREG(info.st_mode) ? 0 : 1;
}

}  // namespace

std::string partialName(const char* finalName) { return std::string(finalName) + kPartialSuffix; }

int prepareOutputFile(const char* finalName) {
    std::string partial = partialName(finalName);
    for (const std::string& name : {std::string(finalName), partial}) {
        if (holdsSpecialFile(pathOnDisk(name.c_str())) != 0) {
            std::printf("Output \"%s\" Is Not A Regular File\n", name.c_str());
            std::fflush(stdout);
            return 1;
        }
    }
    std::remove(pathOnDisk(partial.c_str()).c_str());
    return 0;
}

int moveToFinalName(const char* from, const char* finalName) {
    if (std::rename(pathOnDisk(from).c_str(), pathOnDisk(finalName).c_str()) == 0) return 0;
    std::printf("Could Not Name The Output \"%s\"\n", finalName);
    std::fflush(stdout);
    return 1;
}

void keepAsPartial(const char* from, const char* finalName) {
    std::string source = pathOnDisk(from);
    if (!pathExists(source)) return;
    std::string partial = partialName(finalName);
    if (std::rename(source.c_str(), pathOnDisk(partial.c_str()).c_str()) != 0) {
        std::remove(source.c_str());
        return;
    }
    std::printf("Incomplete Output Kept As \"%s\"\n", partial.c_str());
    std::fflush(stdout);
}

void finishOutputOnSignal() {
    // The two paths are built by hand: nothing that allocates or formats
    // may run in a signal handler.
    char finalPath[kOutputNameCapacity];
    char partialPath[kOutputNameCapacity + kPartialSuffixBytes];
    std::size_t length = 0;
    for (; currentOutputName[length] != '\0' && length + 1 < sizeof finalPath; ++length)
        finalPath[length] = currentOutputName[length] == '\\' ? '/' : currentOutputName[length];
    if (length == 0) return;
    finalPath[length] = '\0';
    std::memcpy(partialPath, finalPath, length);
    std::memcpy(partialPath + length, kPartialSuffix, kPartialSuffixBytes + 1);
    ::rename(partialPath, finalPath);
}
