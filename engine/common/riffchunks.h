#pragma once

// Walking the chunks of a RIFF file, wherever its bytes are: the caller
// reads, the walker decides where the next chunk starts.

#include "engine/common/byteorder.h"

#include <cstdint>
#include <cstring>

constexpr long long kRiffHeaderBytes = 12;
constexpr long long kRiffChunkHeaderBytes = 8;

struct RiffChunk {
    char id[4] = {};
    long long bodyOffset = 0;  // from the start of the file
    long long size = 0;        // as declared, which may reach past the end
};

inline bool isChunk(const RiffChunk& chunk, const char* id) { return std::memcmp(chunk.id, id, 4) == 0; }

// True for the 12-byte header of a RIFF/WAVE file.
inline bool isWaveHeader(const uint8_t* header) {
    return std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0;
}

// Visits the chunks behind the RIFF header of a file of `fileBytes` bytes
// until `visit(chunk)` returns true. `read(offset, header)` fills the 8
// bytes of a chunk header and returns 0 on success. Every step moves
// forward, so a walk always ends; chunks are padded to even sizes. 0 when
// `visit` stopped the walk, non-zero at the end of the file or on a failed
// read.
template <typename Read, typename Visit>
int walkRiffChunks(long long fileBytes, Read read, Visit visit) {
    long long at = kRiffHeaderBytes;
    while (at + kRiffChunkHeaderBytes <= fileBytes) {
        uint8_t header[kRiffChunkHeaderBytes];
        if (read(at, header) != 0) return 1;
        RiffChunk chunk;
        std::memcpy(chunk.id, header, 4);
        chunk.bodyOffset = at + kRiffChunkHeaderBytes;
        chunk.size = readLittleEndian32(header + 4);
        if (visit(static_cast<const RiffChunk&>(chunk))) return 0;
        at = chunk.bodyOffset + chunk.size + (chunk.size & 1);
    }
    return 1;
}
