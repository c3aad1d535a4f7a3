#include "engine/cddb/cddbclient.h"

#include "engine/cddb/cddbcache.h"
#include "engine/common/msf.h"
#include "engine/common/owned.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// A real list of matches or entry has a few hundred lines at most; a server
// that goes on for ever is treated as a broken connection.
constexpr int kMaxAnswerLines = 10000;

// Messages are flushed at once: the user waits on the network after most.
void say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

// A server that answers slowly enough never hits the wait for one line;
// the whole try still ends in this time, and all tries together in the
// second.
constexpr auto kLookupDeadline = std::chrono::seconds(60);
constexpr auto kIdentificationDeadline = std::chrono::seconds(90);

class SocketConnection : public CddbConnection {
public:
    SocketConnection(int socket, LineReader::Clock::time_point deadline)
        : socket(socket), reader(socket), deadline(deadline) {}
    ~SocketConnection() override { closeSocket(socket); }
    int receive(char* buffer, int capacity) override { return reader.receiveRawLine(buffer, capacity, deadline); }
    void send(const char* line) override { sendLine(socket, line); }
    bool timedOut() const { return reader.timedOut(); }

private:
    int socket;
    LineReader reader;
    LineReader::Clock::time_point deadline;
};

int digitSum(int value) {
    int sum = 0;
    for (; value > 0; value /= 10) sum += value % 10;
    return sum;
}

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

void cutTerminator(char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) text[--length] = '\0';
}

// Word `index` (from 0) of a blank-separated line, cut to the buffer.
void copyWord(const char* text, int index, char (&word)[kNameCapacity]) {
    const char* blanks = " \t";
    for (;;) {
        text += std::strspn(text, blanks);
        std::size_t length = std::strcspn(text, blanks);
        if (index-- == 0 || length == 0) {
            if (length > sizeof word - 1) length = sizeof word - 1;
            std::memcpy(word, text, length);
            word[length] = '\0';
            return;
        }
        text += length;
    }
}

// A server line the user should see: the reason why it refused a command.
void showRefusal(const char* answer) {
    if (answer[0] != '4' && answer[0] != '5') return;
    char shown[kRawLineBufferBytes];
    std::size_t length = std::strcspn(answer, "\r\n");
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(answer[i]);
        shown[i] = (c < 0x20 || c == 0x7F) ? ' ' : answer[i];
    }
    shown[length] = '\0';
    say("%s\n", shown);
}

}  // namespace

int parseServerAddress(const char* server, char (&host)[kTextCapacity], int& port) {
    port = kDefaultCddbPort;
    std::size_t length = std::strlen(server);
    const char* colon = std::strrchr(server, ':');
    if (colon) {
        length = static_cast<std::size_t>(colon - server);
        char* end = nullptr;
        long value = std::strtol(colon + 1, &end, 10);
        if (end == colon + 1 || *end != '\0' || value < 1 || value > 65535) return 1;
        port = static_cast<int>(value);
    }
    if (length > sizeof host - 1) length = sizeof host - 1;
    std::memcpy(host, server, length);
    host[length] = '\0';
    return 0;
}

uint32_t cddbDiscId(const DiscLayout& layout) {
    int count = layout.lastTrack - layout.firstTrack + 1;
    int digits = 0;
    for (int track = layout.firstTrack; track <= layout.lastTrack; ++track)
        digits += digitSum((layout.trackStart[track] + kLeadInSectors) / kSectorsPerSecond);
    uint32_t seconds = layout.leadOut / kSectorsPerSecond - layout.trackStart[layout.firstTrack] / kSectorsPerSecond;
    return (static_cast<uint32_t>(digits % 255) << 24) | (seconds << 8) | static_cast<uint32_t>(count);
}

CddbClient::CddbClient(const DiscLayout& layout, const DiscNames& names) : layout(layout), discNames(names) {
    id = cddbDiscId(layout);
    int count = layout.lastTrack - layout.firstTrack + 1;

    // At most 99 offsets of a few digits each: far inside the buffer.
    int length = std::snprintf(query, sizeof query, "cddb query %08x %d ", id, count);
    for (int track = layout.firstTrack; track <= layout.lastTrack; ++track)
        length += std::snprintf(query + length, sizeof query - length, "%d ", layout.trackStart[track] + kLeadInSectors);
    std::snprintf(query + length, sizeof query - length, "%d", layout.leadOut / kSectorsPerSecond + 2);
}

int CddbClient::lookup(LineReader::Clock::time_point deadline) {
    if (options.cacheEnabled) {
        say("Checking Local CD Cache File\n");
        if (findCacheEntry(options.cacheFileName, query, discNames) == 0) {
            say("Entry Found In Local Cache\n\n");
            return 0;
        }
        say("Entry Not Found, ");
    }
    say("Connecting to CDDB Server - %s\n", options.cddbServer);
    say("Visit Their Web Page: %s\n", kCddbWebPage);

    auto tryDeadline = std::min(deadline, LineReader::Clock::now() + kLookupDeadline);
    char host[kTextCapacity];
    int port = 0;
    int socket = parseServerAddress(options.cddbServer, host, port) == 0 ? connectTo(host, port, tryDeadline) : -1;
    if (socket < 0) {
        say("Could not connect\n");
        return LineReader::Clock::now() >= tryDeadline ? kLookupTimedOut : 1;
    }
    int result;
    {
        auto connection = makeOwned<SocketConnection>(socket, tryDeadline);
        if (!connection) {
            closeSocket(socket);
            return 1;
        }
        result = converse(*connection);
        if (result == 1 && connection->timedOut()) result = kLookupTimedOut;
    }
    if (result != 0) return result;
    say("\n");
    if (options.cacheEnabled &&
        appendCacheEntry(options.cacheFileName, query, discNames, layout.firstTrack, layout.lastTrack) != 0)
        say("Could not write to the local cache file\n");
    return 0;
}

int CddbClient::receive(CddbConnection& connection) {
    if (connection.receive(line, sizeof line) >= 0) return 0;
    say("Connection Terminated\n");
    return -1;
}

int CddbClient::converse(CddbConnection& connection) {
    if (receive(connection) != 0) return 1;
    connection.send("proto 2");
    if (receive(connection) != 0) return 1;

    // The address splits at its first "@"; without one the host part is empty.
    const char* address = options.cddbUserAddress;
    const char* at = std::strchr(address, '@');
    int userLength = at ? static_cast<int>(at - address) : static_cast<int>(std::strlen(address));
    char command[kRawLineBufferBytes];
    std::snprintf(command, sizeof command, "cddb hello %.*s %s \"TANAGER Release\" 2.80", userLength, address,
                  at ? at + 1 : "");
    connection.send(command);
    if (receive(connection) != 0) return 1;
    showRefusal(line);

    say("Sending CDDB Query: %08x\n", id);
    connection.send(query);
    if (receive(connection) != 0) return 1;
    int chosen = chooseReadCommand(connection, command);
    if (chosen != 0) return chosen;

    connection.send(command);
    if (receive(connection) != 0) return 1;
    if (!startsWith(line, "210")) {
        showRefusal(line);
        return 1;
    }
    return readEntry(connection);
}

// From the query answer in `line`: the read command of the first match.
int CddbClient::chooseReadCommand(CddbConnection& connection, char (&command)[kRawLineBufferBytes]) {
    char category[kNameCapacity];
    if (startsWith(line, "200")) {
        say("Exact Match Found, Reading Info\n");
        copyWord(line, 1, category);
        std::snprintf(command, sizeof command, "cddb read %s %08x", category, id);
        return 0;
    }
    if (startsWith(line, "211")) {
        say("Inexact Matches Found, Picking First\n");
        command[0] = '\0';
        for (int count = 0;; ++count) {
            if (receive(connection) != 0) return 1;
            if (line[0] == '.') break;
            if (count == kMaxAnswerLines) {
                say("Connection Terminated\n");
                return 1;
            }
            if (count == 0) {
                char matchedId[kNameCapacity];
                copyWord(line, 0, category);
                copyWord(line, 1, matchedId);
                std::snprintf(command, sizeof command, "cddb read %s %s", category, matchedId);
            }
        }
        if (command[0] != '\0') return 0;
    }
    showRefusal(line);
    say("Disc ID Match Not Found\n\n");
    return 2;
}

int CddbClient::readEntry(CddbConnection& connection) {
    pendingField = kNoField;
    for (int count = 0; count <= kMaxAnswerLines; ++count) {
        if (receive(connection) != 0) return 1;
        if (line[0] == '.') {
            storePendingValue();
            return 0;
        }
        takeEntryLine();
    }
    say("Connection Terminated\n");
    return 1;
}

void CddbClient::takeEntryLine() {
    cutTerminator(line);
    if (startsWith(line, "DTITLE=")) return takeValue(kDiscTitleField, line + 7);
    if (startsWith(line, "DYEAR=")) return takeValue(kDiscYearField, line + 6);
    if (startsWith(line, "DGENRE=")) return takeValue(kDiscGenreField, line + 7);
    int field = kNoField;
    const char* value = nullptr;
    // Only "TTITLE<n>...=" with n in 0..99 names a track.
    const char* digits = line + 6;
    if (startsWith(line, "TTITLE") && *digits >= '0' && *digits <= '9') {
        int index = 0;
        for (; *digits >= '0' && *digits <= '9' && index < kMaxTracks; ++digits) index = index * 10 + (*digits - '0');
        value = std::strchr(digits, '=');
        if (index < kMaxTracks && value) field = index;
    }
    if (field == kNoField) return storePendingValue();
    takeValue(field, value + 1);
}

void CddbClient::takeValue(int field, const char* value) {
    if (field != pendingField) {
        storePendingValue();
        pendingField = field;
    }
    std::size_t length = std::min(std::strlen(value), sizeof pendingValue - 1 - pendingLength);
    std::memcpy(pendingValue + pendingLength, value, length);
    pendingLength += length;
    pendingValue[pendingLength] = '\0';
}

void CddbClient::storePendingValue() {
    const char* value = pendingValue;
    if (pendingField == kDiscTitleField) {
        const char* separator = std::strstr(value, " / ");
        if (separator) {
            storeName(discNames.discArtist, value, static_cast<std::size_t>(separator - value));
            storeName(discNames.discTitle, separator + 3, std::strlen(separator + 3));
        } else {
            storeName(discNames.discArtist, value, pendingLength);
            storeName(discNames.discTitle, value, pendingLength);
        }
    } else if (pendingField == kDiscYearField) {
        // A year is a few digits; anything else says nothing about it.
        const std::size_t digits = std::strspn(value, "0123456789");
        if (digits == pendingLength && digits > 0 && digits < sizeof discNames.discYear)
            std::memcpy(discNames.discYear, value, digits + 1);
    } else if (pendingField == kDiscGenreField) {
        storeName(discNames.discGenre, value, pendingLength);
    } else if (pendingField >= 0) {
        if (pendingLength == 0)
            storeName(discNames.trackTitles[pendingField], "Unknown", 7);
        else
            storeName(discNames.trackTitles[pendingField], value, pendingLength);
    }
    pendingField = kNoField;
    pendingLength = 0;
    pendingValue[0] = '\0';
}

int cddbLookup(CdDrive& drive, LineReader::Clock::time_point deadline) {
    DiscLayout layout;
    if (readDiscLayout(drive, layout) != 0) {
        say("Disc ID Match Not Found\n\n");
        return 2;
    }
    auto names = makeOwned<DiscNames>();
    if (!names) return 1;
    namesFromDrive(drive, *names);
    auto client = makeOwned<CddbClient>(layout, *names);
    if (!client) return 1;
    int result = client->lookup(deadline);
    if (result == 0) namesToDrive(client->names(), drive);
    return result;
}

int identifyDisc(CdDrive& drive, int retries) {
    auto deadline = LineReader::Clock::now() + kIdentificationDeadline;
    int result = cddbLookup(drive, deadline);
    int timeOuts = result == kLookupTimedOut ? 1 : 0;
    for (; result != 0 && result != 2 && retries > 0; --retries) {
        // A server that let the time run out gets one more try, not more.
        if (timeOuts > 1 || LineReader::Clock::now() >= deadline) break;
        result = cddbLookup(drive, deadline);
        if (result == kLookupTimedOut) ++timeOuts;
    }
    return result;
}
