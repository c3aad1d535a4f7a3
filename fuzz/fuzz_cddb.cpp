// Feeds untrusted text to the CDDB client: the first byte chooses between a
// server's answers (the whole dialogue, from the greeting to the entry) and
// the contents of a cache file.

#include "engine/cddb/cddbcache.h"
#include "engine/cddb/cddbclient.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const char* const kQuery = "cddb query 10025803 3 150 18000 33000 602";

// The server's lines come from memory, cut to the buffer as the socket cuts them.
class MemoryConnection : public CddbConnection {
public:
    MemoryConnection(const uint8_t* data, size_t size) : data(data), size(size) {}
    int receive(char* buffer, int capacity) override {
        if (position >= size) return -1;
        int stored = 0;
        while (position < size) {
            char byte = static_cast<char>(data[position++]);
            if (stored < capacity - 1) buffer[stored++] = byte;
            if (byte == '\n') break;
        }
        buffer[stored] = '\0';
        return stored;
    }
    void send(const char*) override {}

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

// Names reach the console and file names: terminated, and without a
// control character that could forge a line or drive the terminal.
void checkName(const char* name) {
    const char* end = static_cast<const char*>(std::memchr(name, '\0', kNameCapacity));
    if (!end) std::abort();
    for (const char* c = name; c != end; ++c)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) std::abort();
}

void checkNames(const DiscNames& names) {
    checkName(names.discTitle);
    checkName(names.discArtist);
    for (const auto& title : names.trackTitles) checkName(title);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The client's messages are of no interest here and would slow the run.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    auto names = std::make_unique<DiscNames>();
    if (data[0] & 1) {
        std::FILE* cache = fmemopen(const_cast<uint8_t*>(data + 1), size - 1, "r");
        if (!cache) return 0;
        readCacheEntry(cache, kQuery, *names);
        std::fclose(cache);
        checkNames(*names);
        return 0;
    }
    DiscLayout layout;
    layout.firstTrack = 1;
    layout.lastTrack = 3;
    layout.trackStart[1] = 0;
    layout.trackStart[2] = 17850;
    layout.trackStart[3] = 32850;
    layout.leadOut = 45000;
    auto client = std::make_unique<CddbClient>(layout, *names);
    MemoryConnection connection(data + 1, size - 1);
    int result = client->converse(connection);
    if (result < 0 || result > 2) std::abort();
    checkNames(client->names());
    return 0;
}
