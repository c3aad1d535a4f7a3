#include "tests/support/wavfile.h"

#include "engine/common/byteorder.h"
#include "engine/common/riffchunks.h"
#include "tests/support/runvolta.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace {

std::string le32(uint32_t value) {
    std::string out(4, '\0');
    putLittleEndian32(reinterpret_cast<uint8_t*>(out.data()), value);
    return out;
}

std::string le16(uint16_t value) { return le32(value).substr(0, 2); }

}  // namespace

std::string wavData(const std::string& path) {
    std::string file = readFile(path);
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    const auto fileBytes = static_cast<long long>(file.size());
    if (fileBytes < kRiffHeaderBytes || !isWaveHeader(bytes))
        throw std::runtime_error(path + ": not a RIFF/WAVE file");
    auto readChunkHeader = [bytes](long long at, uint8_t* header) {
        std::memcpy(header, bytes + at, kRiffChunkHeaderBytes);
        return 0;
    };
    std::string data;
    int found = walkRiffChunks(fileBytes, readChunkHeader, [&](const RiffChunk& chunk) {
        if (!isChunk(chunk, "data")) return false;
        data = file.substr(static_cast<size_t>(chunk.bodyOffset), static_cast<size_t>(chunk.size));
        return true;
    });
    if (found != 0) throw std::runtime_error(path + ": no data chunk");
    return data;
}

std::string riffChunk(const std::string& id, const std::string& body) {
    std::string chunk = id + le32(static_cast<uint32_t>(body.size())) + body;
    if (body.size() % 2 != 0) chunk += '\0';
    return chunk;
}

std::string makeWav(const std::string& samples, const std::string& extraChunks) {
    std::string format = le16(1) + le16(2) + le32(44100) + le32(176400) + le16(4) + le16(16);
    std::string body = "WAVE" + riffChunk("fmt ", format) + extraChunks + riffChunk("data", samples);
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

testing::AssertionResult sameBytes(const std::string& got, const std::string& expected) {
    if (got == expected) return testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    return testing::AssertionFailure() << got.size() << " bytes instead of " << expected.size()
                                       << ", the first difference at byte " << at;
}
