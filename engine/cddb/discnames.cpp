#include "engine/cddb/discnames.h"

#include <cstring>

void storeName(char (&name)[kNameCapacity], const char* text, std::size_t length) {
    if (length > kNameCapacity - 1) length = kNameCapacity - 1;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        name[i] = (c < 0x20 || c == 0x7F) ? ' ' : text[i];
    }
    name[length] = '\0';
}

void namesFromDrive(const CdDrive& drive, DiscNames& names) {
    std::memcpy(names.discTitle, drive.discTitle, sizeof names.discTitle);
    std::memcpy(names.discArtist, drive.discArtist, sizeof names.discArtist);
    std::memcpy(names.trackTitles, drive.trackTitles, sizeof names.trackTitles);
}

void namesToDrive(const DiscNames& names, CdDrive& drive) {
    std::memcpy(drive.discTitle, names.discTitle, sizeof drive.discTitle);
    std::memcpy(drive.discArtist, names.discArtist, sizeof drive.discArtist);
    std::memcpy(drive.trackTitles, names.trackTitles, sizeof drive.trackTitles);
}
