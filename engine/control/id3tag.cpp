#include "engine/control/id3tag.h"

#include "engine/control/naming.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"
#include "engine/pipeline/stagechain.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// ID3v1 text is ISO 8859-1 by definition, whatever the names came in.
void copyField(uint8_t* field, const char* text) {
    constexpr size_t kFieldCharacters = 29;  // the 30th byte stays 0
    std::string latin1 = toLatin1(text);
    std::memcpy(field, latin1.data(), std::min(latin1.size(), kFieldCharacters));
}

}  // namespace

void tagOutput(int track) {
    if (currentOutputName[0] == '\0' || !currentDrive) return;
    const CdDrive& drive = *currentDrive;
    uint8_t tag[128] = {};
    std::memcpy(tag, "TAG", 3);
    if (track > 0 && track <= kMaxTracks) copyField(tag + 3, drive.trackTitles[track - 1]);
    copyField(tag + 33, drive.discArtist);
    copyField(tag + 63, drive.discTitle);
    tag[127] = 17;
    // Appending must not create a file that the job did not write.
    int fd = ::open(pathOnDisk(currentOutputName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return;
    ssize_t written = ::write(fd, tag, sizeof tag);
    (void)written;
    ::close(fd);
}
