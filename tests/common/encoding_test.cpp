// The shared byte-order, CD address and RIFF chunk helpers.

#include "engine/common/byteorder.h"
#include "engine/common/msf.h"
#include "engine/common/riffchunks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(ByteOrder, EveryWidthRoundTripsInItsOwnOrder) {
    uint8_t bytes[4] = {};
    putBigEndian32(bytes, 0x01020304);
    EXPECT_EQ(std::string(bytes, bytes + 4), "\x01\x02\x03\x04");
    EXPECT_EQ(readBigEndian32(bytes), 0x01020304u);
    EXPECT_EQ(readBigEndian24(bytes + 1), 0x020304u);
    EXPECT_EQ(readBigEndian16(bytes + 2), 0x0304u);
    putLittleEndian32(bytes, 0x01020304);
    EXPECT_EQ(std::string(bytes, bytes + 4), "\x04\x03\x02\x01");
    EXPECT_EQ(readLittleEndian32(bytes), 0x01020304u);
    EXPECT_EQ(readLittleEndian24(bytes), 0x020304u);
    EXPECT_EQ(readLittleEndian16(bytes), 0x0304u);
    // A negative LBA survives the trip through an unsigned field.
    putBigEndian32(bytes, static_cast<uint32_t>(-150));
    EXPECT_EQ(static_cast<int>(readBigEndian32(bytes)), -150);
    putLittleEndian24(bytes, 0xABCDEF);
    EXPECT_EQ(readLittleEndian24(bytes), 0xABCDEFu);
}

TEST(Msf, AddressesCountTheLeadIn) {
    struct Case {
        int lba, minutes, seconds, frames;
    } cases[] = {{-150, 0, 0, 0}, {0, 0, 2, 0},     {74, 0, 2, 74},
                 {75, 0, 3, 0},   {4350, 1, 0, 0}, {449849, 99, 59, 74}};
    for (const Case& c : cases) {
        Msf msf = msfOfLba(c.lba);
        EXPECT_EQ(msf.minutes, c.minutes) << c.lba;
        EXPECT_EQ(msf.seconds, c.seconds) << c.lba;
        EXPECT_EQ(msf.frames, c.frames) << c.lba;
        EXPECT_EQ(lbaOfMsf(c.minutes, c.seconds, c.frames), c.lba);
    }
    uint8_t field[3];
    putMsf(field, msfOfSectors(sectorsOfMsf(3, 51, 0)));
    EXPECT_EQ(std::string(field, field + 3), std::string("\x03\x33\x00", 3));
}

// Chunk ids in walking order, over a file held in memory.
std::vector<std::string> walk(const std::string& file, const char* stopAt, int& result) {
    std::vector<std::string> ids;
    auto read = [&file](long long at, uint8_t* header) {
        std::memcpy(header, file.data() + at, kRiffChunkHeaderBytes);
        return 0;
    };
    result = walkRiffChunks(static_cast<long long>(file.size()), read, [&](const RiffChunk& chunk) {
        ids.emplace_back(chunk.id, 4);
        return isChunk(chunk, stopAt);
    });
    return ids;
}

std::string chunk(const char* id, uint32_t size, const std::string& body) {
    uint8_t length[4];
    putLittleEndian32(length, size);
    return std::string(id, 4) + std::string(length, length + 4) + body;
}

TEST(RiffChunks, OddSizesArePaddedAndSizesPastTheEndEndTheWalk) {
    const std::string header("RIFF\0\0\0\0WAVE", 12);
    std::string file = header;
    file += chunk("fmt ", 3, std::string("abc\0", 4)) + chunk("LIST", 0, "") + chunk("data", 4, "1234");
    int result = 1;
    EXPECT_EQ(walk(file, "data", result), (std::vector<std::string>{"fmt ", "LIST", "data"}));
    EXPECT_EQ(result, 0);

    EXPECT_EQ(walk(file, "none", result).size(), 3u);
    EXPECT_NE(result, 0);

    std::string huge = header;
    huge += chunk("junk", 0xFFFFFFF0u, "") + chunk("data", 0, "");
    EXPECT_EQ(walk(huge, "data", result), (std::vector<std::string>{"junk"}));
    EXPECT_NE(result, 0);

    EXPECT_TRUE(walk(header + "data", "data", result).empty());
    EXPECT_NE(result, 0);
}

}  // namespace
