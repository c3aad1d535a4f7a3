#include "tests/support/wavfile.h"

#include "tests/support/runvolta.h"

#include <cstdint>
#include <stdexcept>

namespace {

uint32_t readLe32(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

std::string le32(uint32_t value) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

std::string le16(uint16_t value) { return le32(value).substr(0, 2); }

}  // namespace

std::string wavData(const std::string& path) {
    std::string file = readFile(path);
    if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0)
        throw std::runtime_error(path + ": not a RIFF/WAVE file");
    size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size = readLe32(file, at + 4);
        if (file.compare(at, 4, "data") == 0) return file.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    throw std::runtime_error(path + ": no data chunk");
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
