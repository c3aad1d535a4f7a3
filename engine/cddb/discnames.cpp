#include "engine/cddb/discnames.h"

#include <cstring>

void namesFromDrive(const CdDrive& drive, DiscNames& names) {
    std::memcpy(names.discTitle, drive.discTitle, sizeof names.discTitle);
    std::memcpy(names.discArtist, drive.discArtist, sizeof names.discArtist);
    std::memcpy(names.trackTitles, drive.trackTitles, sizeof names.trackTitles);
    std::memcpy(names.discYear, drive.discYear, sizeof names.discYear);
    std::memcpy(names.discGenre, drive.discGenre, sizeof names.discGenre);
}

void namesToDrive(const DiscNames& names, CdDrive& drive) {
    std::memcpy(drive.discTitle, names.discTitle, sizeof drive.discTitle);
    std::memcpy(drive.discArtist, names.discArtist, sizeof drive.discArtist);
    std::memcpy(drive.trackTitles, names.trackTitles, sizeof drive.trackTitles);
    std::memcpy(drive.discYear, names.discYear, sizeof drive.discYear);
    std::memcpy(drive.discGenre, names.discGenre, sizeof drive.discGenre);
}
