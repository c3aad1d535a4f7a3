#include "engine/control/id3tag.h"

#include "engine/control/naming.h"
#include "engine/control/options.h"
#include "engine/control/tracktagging.h"
#include "engine/control/textencoding.h"
#include "engine/drive/cddrive.h"
#include "engine/output/encoderkind.h"
#include "engine/output/tags/tagwriter.h"
#include "engine/pipeline/stagechain.h"
#include "engine/verify/ripverification.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
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

void appendId3v1(const CdDrive& drive, const std::string& path, int track) {
    uint8_t tag[128] = {};
    std::memcpy(tag, "TAG", 3);
    if (track > 0 && track <= kMaxTracks) copyField(tag + 3, drive.trackTitles[track - 1]);
    copyField(tag + 33, drive.discArtist);
    copyField(tag + 63, drive.discTitle);
    tag[127] = 17;
    // Appending must not create a file that the job did not write.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return;
    ssize_t written = ::write(fd, tag, sizeof tag);
    (void)written;
    ::close(fd);
}

}  // namespace

// The rich tags go in first, so that the ID3v1 tag appended after them is
// exactly the one the file would have without them. A file that is not
// there is left alone without a message, as for the ID3v1 tag.
void tagOutput(int track, const RipVerification* verification) {
    if (currentOutputName[0] == '\0' || !currentDrive) return;
    const EncoderInfo& encoder = encoderInfo(options.encoder);
    const std::string path = pathOnDisk(currentOutputName);
    std::string reason;
    TrackTags tags = tagsForTrack(*currentDrive, track);
    if (verification) verification->tagTrack(track, tags);
    if (encoder.tags != RichTags::None && ::access(path.c_str(), F_OK) == 0 &&
        writeRichTags(path.c_str(), encoder.tags, tags, reason) != 0)
        std::printf("Could Not Write Tags: %s (%s)\n", currentOutputName, reason.c_str());
    if (encoder.id3v1) appendId3v1(*currentDrive, path, track);
}
