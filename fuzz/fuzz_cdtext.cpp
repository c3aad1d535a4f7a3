// CD-TEXT comes from the disc: any bytes a drive returns must decode into
// names that stay inside their fields.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/drive/cdtext.h"
#include "engine/drive/scsidrive.h"

namespace {

// Names reach the console and file names: terminated, and without a
// control character that could forge a listing line or drive the terminal.
void checkName(const char* name) {
    const char* end = static_cast<const char*>(std::memchr(name, '\0', kNameCapacity));
    if (!end) __builtin_trap();
    for (const char* c = name; c != end; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    MmcDrive drive(nullptr, 0, 0, 0);
    drive.tocData[2] = data[0];  // the first track the table of contents names
    decodeCdText(data + 1, static_cast<int>(size - 1), drive);
    for (const auto& title : drive.trackTitles) checkName(title);
    checkName(drive.discTitle);
    checkName(drive.discArtist);
    return 0;
}
