#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CdDrive;

// CD-TEXT as it sits in the lead-in: 18-byte packs (type, track, sequence
// number, block and character position, 12 text bytes, CRC). Only block 0
// is written and read, in ISO 8859-1.

constexpr int kPackBytes = 18;
constexpr int kPackTextBytes = 12;
constexpr uint8_t kPackTitle = 0x80;
constexpr uint8_t kPackPerformer = 0x81;
constexpr uint8_t kPackSizeInfo = 0x8F;

// CRC-16 with polynomial 0x1021, initial value 0, inverted, as pack bytes
// 16 and 17 (high byte first) carry it over bytes 0..15.
uint16_t cdTextCrc(const uint8_t* data, int length);

struct CdTextSource {
    int firstTrack = 1;
    std::string discTitle;
    std::string discPerformer;
    std::vector<std::string> trackTitles;  // element k: track firstTrack + k
    std::vector<std::string> trackPerformers;
};

// The packs a disc with these texts carries: titles, performers, then the
// size information. Empty when no text is given. Returns 1 when the texts
// need more packs than one block can hold.
int buildCdTextPacks(const CdTextSource& source, std::vector<uint8_t>& packs);

// Fills the drive's disc title, artist and track titles from a READ TOC
// format 5 response of `size` bytes (4-byte header, then packs). Each pack
// type is one text stream split at NUL: the names belong to consecutive
// tracks from the first pack's track number on, wherever the packs break;
// the disc's name (track 0) is followed by its first track's, as the table
// of contents already read into the drive tells it.
// Names of tracks above 100 are dropped and names cut to 255 characters.
// Sets namesValid when the disc named anything; names it left out then get
// the defaults.
void decodeCdText(const uint8_t* response, int size, CdDrive& drive);

// The names of a disc that carries no CD-TEXT.
void setDefaultNames(CdDrive& drive);
