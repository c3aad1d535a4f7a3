#pragma once

#include "engine/cddb/discnames.h"
#include "engine/control/options.h"
#include "engine/drive/disclayout.h"
#include "engine/net/linesocket.h"

#include <cstddef>
#include <cstdint>

constexpr int kQueryLineBytes = 4096;
constexpr const char* kCddbWebPage = "https://gnudb.org";

// The disc ID of a layout, as the lookup sends it.
uint32_t cddbDiscId(const DiscLayout& layout);

// Splits "host" or "host:port"; 0 when the port (default 8880) is valid.
int parseServerAddress(const char* server, char (&host)[kTextCapacity], int& port);

// One conversation with a CDDB server; the socket in the engine, memory
// when the answers are fed in by other means.
class CddbConnection {
public:
    virtual ~CddbConnection() = default;
    // One line, "\r\n" kept; -1 when the connection has ended.
    virtual int receive(char* buffer, int capacity) = 0;
    virtual void send(const char* line) = 0;
};

class CddbClient {
public:
    CddbClient(const DiscLayout& layout, const DiscNames& names);

    // The cache, then the server, giving up at `deadline` at the latest:
    // 0 names filled in, 1 failed (trying again may help), 2 the server
    // does not know the disc, kLookupTimedOut the server let the time run
    // out.
    int lookup(LineReader::Clock::time_point deadline);

    // The dialogue from the server's greeting to the end of the entry;
    // results as for lookup.
    int converse(CddbConnection& connection);

    uint32_t discId() const { return id; }
    const char* queryLine() const { return query; }
    const DiscNames& names() const { return discNames; }

private:
    int receive(CddbConnection& connection);
    int chooseReadCommand(CddbConnection& connection, char (&command)[kRawLineBufferBytes]);
    int readEntry(CddbConnection& connection);
    void takeEntryLine();
    void takeValue(int field, const char* value);
    void storePendingValue();

    // A long value comes split over consecutive lines of the same keyword,
    // so a field is stored only once the next keyword shows it is whole.
    static constexpr int kNoField = -2;
    static constexpr int kDiscTitleField = -1;  // otherwise the track index
    static constexpr int kDiscYearField = -3;
    static constexpr int kDiscGenreField = -4;

    DiscLayout layout;
    DiscNames discNames;
    uint32_t id = 0;
    char query[kQueryLineBytes] = {};
    char line[kRawLineBufferBytes] = {};
    int pendingField = kNoField;
    char pendingValue[kRawLineBufferBytes] = {};
    std::size_t pendingLength = 0;
};

constexpr int kLookupTimedOut = 3;

// One lookup on the drive's disc. The drive's names change only when it
// returns 0; 2 means there is no point in trying again.
int cddbLookup(CdDrive& drive, LineReader::Clock::time_point deadline);

// The identification of the main flow: a lookup and up to `retries` more
// while they fail, all of them within a fixed time; results as for
// cddbLookup.
int identifyDisc(CdDrive& drive, int retries);
