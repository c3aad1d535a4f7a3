#include "engine/control/options.h"

#include "engine/control/exitcodes.h"
#include "engine/drive/drivefamily.h"
#include "engine/drive/readoffset.h"
#include "engine/output/bitrates.h"
#include "engine/names/json/musicbrainzanswer.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

Options options;

Options::Options() {
    std::snprintf(cddbUserAddress, sizeof cddbUserAddress, "%s", kDefaultCddbUserAddress);
    std::snprintf(cddbServer, sizeof cddbServer, "%s", kDefaultCddbServer);
}

namespace {

// Windows thread priorities selected by /+0 .. /+6.
constexpr int kPriorities[] = {-15, -2, -1, 0, 1, 2, 15};

constexpr const char* kUsagePage =
    "Usage: VOLTA [options] basename [options] (list) [options] [/?x]\n"
    "\n"
    "    /?x : display more help on x where x is:\n"
    "\n"
    "filters : digital filters and the pre-amplifier\n"
    "drives  : setting SCSI and drive parameters\n"
    "modes   : various extraction modes and what they do\n"
    "encoders: information on ACM, and other encoders, header supression\n"
    "silence : trimming/adding silence to the beginning/end of a sample\n"
    "files   : list/file name conventions/name parsing/cddb\n"
    "distrib : help with the global modes\n"
    "cd      : cd playing, play during extract, display table of contents\n"
    "\n"
    "    /+x : set queue thread priority to x (0..6)\n"
    "    /=  : enable \"Dod Urezi Vizaro\"\n"
    "    //  : do not use VOLTA environment string\n"
    "Note    : the VOLTA environment string is parsed for arguments\n";

constexpr const char* kFiltersPage =
    "Filter Parameters Help\n"
    "/px      : apply a pre-amplifer with gain x(dB)\n"
    "/fk      : karaoke filter!\n"
    "/fn      : normalize the output (memory extract only)\n"
    "/fr      : apply a reverb filter (Sounds Bad)\n"
    "/fsx     : apply a spread filter with paramter x (-1..1)\n"
    "/fcx     : apply a compression/expansion filter with parameter x (-0.5..0.5)\n"
    "/flx     : apply a low-pass filter with cutoff frequency x(Hz)\n"
    "/fhx     : apply a high-pass filter with cutoff frequency x(Hz)\n"
    "/fqx,y   : apply a high-shelf filter with shelf frequency x(Hz) and gain y(dB)\n"
    "/fzx,y   : apply a low-shelf filter with shelf frequency x(Hz) and gain y(dB)\n"
    "/fpx,y,z : apply a parametric equalization filter with center frequency x(Hz),\n"
    "           bandwidth y(octaves), and gain z(dB)\n"
    "/ftx,y,z : apply a parametric equalization filter with center frequency x(Hz),\n"
    "           Q y(ambiguous EE definition), and gain z(dB)\n";

constexpr const char* kDrivesPage =
    "Drive Parameters Help\n"
    "\n"
    "/dx      : set drive mode to x (e.g. PHILIPS, PLEXTOR)\n"
    "           NOTE: ATAPI DRIVES MUST BE SET TO ATAPI\n"
    "/sxyz    : set SCSI host to x, target to y and logical unit to z\n"
    "           example: /s040 means host 0, target 4, logical unit 0\n"
    "/offsetx : correct the drive's read offset of x samples (-5880..+5880),\n"
    "           as drive offset lists give it (a drive listed as +6: /offset+6)\n";

constexpr const char* kModesPage =
    "Mode Parameters Help\n"
    "\n"
    "/mn      : normal mode: read. write, and repeat\n"
    "/mb      : burst mode: read, read + write, read + write, and repeat\n"
    "/ms      : sync mode: read, read + align, read + align, and repeat\n"
    "/mm      : memory mode: read into memory, write to disc\n"
    "\n"
    "/rx      : set read retries to x (5)\n"
    "/v       : verify the rip with AccurateRip, write a rip log and a cue sheet\n"
    "           (/v /l: check the disc in the database without ripping)\n";

constexpr const char* kEncodersPage =
    "Encoder Parameters Help\n"
    "\n"
    "/a       : use Window Audio Compression Manager (ACM) to select output format\n"
    "/exb     : use Xing's X3ENC.EXE to compress the output with bitrate b (kbps)\n"
    "/evb     : use Xing's X3ENC.EXE in VBR mode with rate b (VBR rate) (1.5+)\n"
    "/elb     : use L3ENC.EXE to compress the output with bitrate b (kbps)\n"
    "/ebb     : use BLADEENC.DLL to compress durectly to mp3 with bitrate b (kbps)\n"
    "/ewb     : use MSAudio codec to compress Windows Media with bitrate b (kbps)\n"
    "/ecx     : use libFLAC to compress losslessly to FLAC at level x (0..8, 5)\n"
    "/eob     : use libopusenc to compress to Opus with bitrate b (6..510 kbps, 160)\n"
    "/ef      : disable high-frequency encoding on XingMP3 1.5+\n"
    "/en      : write no output file\n"
    "/i       : enable MP3 ID3 tagging (worthless without CDDB)\n"
    "/hx      : supress RIFF/WAVE header, new file extension is x\n";

constexpr const char* kSilencePage =
    "Silence Parameters Help\n"
    "\n"
    "/tl      : trim leading silence\n"
    "/tt      : trim trailing silence\n"
    "/t       : trim both leading and trailing silence\n"
    "/zlx     : add x seconds of leading silence\n"
    "/ztx     : add x seconds of trailing silence\n";

std::string filesPage() {
    return std::string(
               "File Parameters Help\n"
               "\n"
               "/0x      : identify CD with CDDB (") +
           kDefaultCddbServer +
           "), log on with email address x\n"
           "/0x,y    : same as /0x, but use alternate CDDB server y\n"
           "/1x      : set CDDB try count to x\n"
           "/2x      : set CDDB local cache file to x\n"
           "/bx      : set alternate basename in the event of CDDB failure\n"
           "/3[n]    : identify CD with MusicBrainz, release n when several match (1),\n"
           "           at VOLTA_MUSICBRAINZ_URL (https://musicbrainz.org/ws/2)\n"
           "           names: CD-TEXT, else MusicBrainz, else CDDB (/0), else /b\n"
           "/*a      : add filespec a to the process queue\n"
           "\n"
           "basename formatting:\n"
           "basename may have quotes around it to indicate it contains spaces\n"
           "basename may contain any of the following:\n"
           "$i       : insert the track index here\n"
           "$2di     : insert the track index with two digits here\n"
           "$t       : intert the track name here (CDDB only)\n"
           "$a       : insert the artist name here (CDDB only)\n"
           "$d       : insert the disc name here (CDDB only)\n"
           "$m       : insert the track time here\n"
           "NOTE: if CDDB is not used, and a $i or $2di are not in the basename,\n"
           "a two digit track number will always be appended to the end\n";
}

constexpr const char* kCdPage =
    "CD Parameters Help\n"
    "\n"
    "/q       : VOLTA runs in cdplayer mode\n"
    "/o[o]    : play files while extracting them (without file writing)\n"
    "           note: /oo is the same as /o /en\n"
    "/os      : enable spectrum analysis\n"
    "/oc      : enable oscilloscpe\n"
    "/ob      : add audio breaker to the play stream\n"
    "/l       : display the cds table of contents\n";

constexpr const char* kDistribPage =
    "Global Modes Help\n"
    "\n"
    "/`[y]    : run in distributed server mode on port y (9999)\n"
    "/'x[,y]  : run in distributed client mode (connect to server x) (on port y (9999))\n"
    "\n"
    "note: distributed modes act over TCP/IP networks, so the server name\n"
    "      must be an IP address, a fully qualified domain name, something\n"
    "      in the LMHOSTS file, or something in your own domain\n";

// The text of a "%c" in a message. A missing letter prints nothing rather
// than a NUL byte, which has no place in console text.
std::string letterText(char letter) { return letter ? std::string(1, letter) : std::string(); }

// Fills in `result` so that main prints `message` and exits with `code`;
// returns 1 so handlers can `return stopWith(...)`.
int stopWith(ParseResult& result, int code, const std::string& message) {
    result.stop = true;
    result.exitCode = code;
    result.output += message;
    result.output += '\n';
    return 1;
}

int showPage(ParseResult& result, const std::string& page) {
    result.stop = true;
    result.exitCode = kExitCommandLine;
    result.output += page;
    return 1;
}

// Copies `length` characters of `text` into a field of `capacity` bytes;
// 1 when they do not fit with the NUL.
int copyText(char* field, size_t capacity, const char* text, size_t length) {
    if (length >= capacity) return 1;
    std::memcpy(field, text, length);
    field[length] = '\0';
    return 0;
}

int copyText(char* field, size_t capacity, const char* text) {
    return copyText(field, capacity, text, std::strlen(text));
}

std::string tooLong(const char* what, size_t capacity) {
    return std::string(what) + " too long (at most " + std::to_string(capacity - 1) +
           " characters)";
}

// The first two comma-separated pieces of a value; the second is null
// when the value has no comma or nothing follows it.
struct ValuePieces {
    std::string first;
    const char* second = nullptr;
    size_t secondLength = 0;
};

ValuePieces splitAtCommas(const char* value) {
    ValuePieces pieces;
    const char* comma = std::strchr(value, ',');
    if (!comma) {
        pieces.first = value;
        return pieces;
    }
    pieces.first.assign(value, comma);
    const char* second = comma + 1;
    const char* end = std::strchr(second, ',');
    size_t length = end ? static_cast<size_t>(end - second) : std::strlen(second);
    if (length > 0) {
        pieces.second = second;
        pieces.secondLength = length;
    }
    return pieces;
}

// Scaled in unsigned arithmetic so that absurd values wrap instead of
// overflowing.
int kilo(int value) { return static_cast<int>(static_cast<unsigned>(value) * 1000u); }

// A TCP port in decimal; anything else, or a number outside the ports,
// stops the run before it connects or listens anywhere.
int parsePort(const std::string& text, ParseResult& result) {
    char* end = nullptr;
    long port = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) || *end != '\0' || port < 1 || port > 65535)
        return stopWith(result, kExitCommandLine, "Port " + text + " does not work: use 1 to 65535");
    options.serverPort = static_cast<int>(port);
    return 0;
}

int parseClient(const char* value, ParseResult& result) {
    ValuePieces pieces = splitAtCommas(value);
    if (pieces.first.empty()) return stopWith(result, kExitMissingName, "No Distributed Server Address");
    if (copyText(options.serverName, sizeof options.serverName, pieces.first.c_str()) != 0)
        return stopWith(result, kExitMissingName, tooLong("Distributed Server Address", kTextCapacity));
    if (pieces.second && parsePort(std::string(pieces.second, pieces.secondLength), result) != 0) return 1;
    options.globalMode = DistributedClient;
    return 0;
}

int parseServer(const char* value, ParseResult& result) {
    if (*value && parsePort(value, result) != 0) return 1;
    options.globalMode = DistributedServer;
    return 0;
}

int parseFileSpec(const char* value, ParseResult& result) {
    if (!*value) return stopWith(result, kExitNoFileSpec, "No filespec on process queue option");
    if (options.fileSpecCount >= kMaxFileSpecs)
        return stopWith(result, kExitNoFileSpec,
                        "Too many filespecs (at most " + std::to_string(kMaxFileSpecs) + ")");
    if (copyText(options.fileSpecs[options.fileSpecCount], kFileSpecCapacity, value) != 0)
        return stopWith(result, kExitNoFileSpec, tooLong("Filespec", kFileSpecCapacity));
    ++options.fileSpecCount;
    return 0;
}

int parsePriority(const char* value, ParseResult& result) {
    if (!*value) return stopWith(result, kExitCommandLine, "Priority must be specified");
    int n = std::atoi(value);
    if (n < 0 || n > 6) return stopWith(result, kExitCommandLine, "Invalid Priority: " + std::to_string(n));
    options.queuePriority = kPriorities[n];
    return 0;
}

int parseCddb(const char* value, ParseResult& result) {
    ValuePieces pieces = splitAtCommas(value);
    if (pieces.first.empty()) return stopWith(result, kExitNoCddbAddress, "Must supply e-mail address for CDDB");
    if (pieces.first.size() >= sizeof options.cddbUserAddress)
        return stopWith(result, kExitNoCddbAddress, tooLong("CDDB e-mail address", kTextCapacity));
    if (pieces.secondLength >= sizeof options.cddbServer)
        return stopWith(result, kExitNoCddbAddress, tooLong("CDDB server name", kTextCapacity));
    copyText(options.cddbUserAddress, sizeof options.cddbUserAddress, pieces.first.c_str());
    if (pieces.second)
        copyText(options.cddbServer, sizeof options.cddbServer, pieces.second, pieces.secondLength);
    options.cddbEnabled = true;
    return 0;
}

int parseCacheFile(const char* value, ParseResult& result) {
    if (!*value) return stopWith(result, kExitMissingName, "CD Cache File Name Not Specified");
    if (copyText(options.cacheFileName, sizeof options.cacheFileName, value) != 0)
        return stopWith(result, kExitMissingName, tooLong("CD Cache File Name", kCacheNameCapacity));
    options.cacheEnabled = true;
    return 0;
}

// The number of the release among those the disc ID matches.
int parseMusicBrainz(const char* value, ParseResult& result) {
    int number = 1;
    if (*value) {
        char* end = nullptr;
        long parsed = std::strtol(value, &end, 10);
        if (!std::isdigit(static_cast<unsigned char>(*value)) || *end != '\0' || parsed < 1 ||
            parsed > static_cast<long>(kMaxMusicBrainzReleases))
            return stopWith(result, kExitCommandLine, std::string("Invalid MusicBrainz release: ") + value);
        number = static_cast<int>(parsed);
    }
    options.musicBrainzRelease = number;
    return 0;
}

int parseHelp(const char* topic, ParseResult& result) {
    if (!*topic) return showPage(result, kUsagePage);
    static const char* const kTopics[] = {"filters", "drives", "modes", "encoders",
                                          "silence", "files",  "cd",    "distrib"};
    const std::string pages[] = {kFiltersPage, kDrivesPage, kModesPage, kEncodersPage,
                                 kSilencePage, filesPage(), kCdPage,    kDistribPage};
    for (size_t i = 0; i < std::size(kTopics); ++i)
        if (strcasecmp(topic, kTopics[i]) == 0) return showPage(result, pages[i]);
    return stopWith(result, kExitCommandLine, std::string("Unknown help option: ") + topic);
}

int parseAcm(ParseResult& result) {
    if (options.encoder != EncoderKind::Wave) return stopWith(result, kExitCommandLine, "Cannot Use ACM and External Compressor");
    options.useAcm = true;
    return 0;
}

int parseAlternateBasename(const char* value, ParseResult& result) {
    if (!*value) return stopWith(result, kExitBadBasename, "Alternate Base Error");
    if (copyText(options.alternateBasename, sizeof options.alternateBasename, value) != 0)
        return stopWith(result, kExitBadBasename, tooLong("Alternate basename", kTextCapacity));
    return 0;
}

int parseDownmix(char subLetter, ParseResult& result) {
    switch (subLetter) {
        case 'l':
            options.downmixMode = 1;
            break;
        case 'r':
            options.downmixMode = 2;
            break;
        case 'm':
            options.downmixMode = 0;
            break;
        default:
            return stopWith(result, kExitCommandLine, "Unknown downmix option: " + letterText(subLetter));
    }
    options.downmix = true;
    return 0;
}

int parseDriveType(const char* value, ParseResult& result) {
    if (driveFamilyForName(value, options.driveType) == 0) return 0;
    return stopWith(result, kExitCommandLine, std::string("Unknown drive type: ") + value);
}

// The newer encoders take only digits, and only within their range, so
// that a level or rate they cannot use never starts a rip.
int parseCheckedSetting(const EncoderInfo& encoder, const char* value, ParseResult& result) {
    if (!*value) return 0;
    const bool level = encoder.setting == EncoderSetting::FlacLevel;
    long number = -1;
    if (std::strspn(value, "0123456789") == std::strlen(value) && std::strlen(value) <= 6)
        number = std::strtol(value, nullptr, 10);
    if (number < encoder.lowest || number > encoder.highest) {
        const std::string what = level ? "Invalid FLAC Compression Level: " : "Invalid Opus Bitrate: ";
        const std::string range = std::to_string(encoder.lowest) + ".." + std::to_string(encoder.highest);
        return stopWith(result, kExitCommandLine, what + value + " (" + range + (level ? ")" : " kbps)"));
    }
    if (level)
        options.flacLevel = static_cast<int>(number);
    else
        options.opusBitrate = kilo(static_cast<int>(number));
    return 0;
}

int parseEncoder(char subLetter, const char* value, ParseResult& result) {
    if (options.useAcm) return stopWith(result, kExitCommandLine, "Cannot Use ACM and External Compressor");
    if (subLetter == 'f') {
        options.encoderExtraArgument = "-l";
    } else if (const EncoderInfo* encoder = encoderForLetter(subLetter)) {
        options.encoder = encoder->kind;
        if (encoder->setting != EncoderSetting::Bitrate) return parseCheckedSetting(*encoder, value, result);
    } else {
        return stopWith(result, kExitCommandLine, "Unknown encoder option: " + letterText(subLetter));
    }
    if (*value) {
        // A rate too large for the field would wrap round to another one.
        long long kbps = std::strtoll(value, nullptr, 10);
        if ((kbps < 0 || kbps > kLargestKbps) && !bitrateWorks(options.encoder, kbps))
            return stopWith(result, kExitCommandLine, bitrateRefusal(options.encoder, value));
        options.bitrate = kilo(std::atoi(value));
    }
    return 0;
}

int appendBand(const char* value, unsigned char widthKind, ParseResult& result) {
    if (!*value) return stopWith(result, kExitFilterParameters, "Parametric EQ Must Have Parameters");
    EqBand band;
    band.widthKind = widthKind;
    if (std::sscanf(value, "%lf,%lf,%lf", &band.centre, &band.width, &band.gain) < 3)
        return stopWith(result, kExitFilterParameters, "Parametric EQ Parameter Error");
    if (options.eqBandCount >= kMaxEqBands)
        return stopWith(result, kExitFilterParameters,
                        "Too many equalizer bands (at most " + std::to_string(kMaxEqBands) + ")");
    options.eqBands[options.eqBandCount++] = band;
    return 0;
}

int parseFilter(char subLetter, const char* value, ParseResult& result) {
    switch (subLetter) {
        case 'k':
            options.karaoke = true;
            return 0;
        case 'n':
            options.normalize = true;
            return 0;
        case 'r':
            options.reverb = true;
            return 0;
        case 's':
            options.spread = true;
            if (*value) options.spreadAmount = std::atof(value);
            return 0;
        case 'c':
            options.compress = true;
            if (*value) options.compressAmount = std::atof(value);
            return 0;
        case 'l':
            options.lowPass = true;
            if (*value) options.lowPassCutoff = std::atof(value);
            return 0;
        case 'h':
            options.highPass = true;
            if (*value) options.highPassCutoff = std::atof(value);
            return 0;
        case 'q': {
            if (!*value) return stopWith(result, kExitFilterParameters, "High-Shelf Must Have Parameters");
            double freq = 0.0, gain = 0.0;
            if (std::sscanf(value, "%lf,%lf", &freq, &gain) < 2)
                return stopWith(result, kExitFilterParameters, "High Shelf Parameter Error");
            options.highShelfFreq = freq;
            options.highShelfGain = gain;
            options.highShelf = true;
            return 0;
        }
        case 'z': {
            double freq = 0.0, gain = 0.0;
            if (!*value || std::sscanf(value, "%lf,%lf", &freq, &gain) < 2)
                return stopWith(result, kExitFilterParameters, "Low-Shelf Must Have Parameters");
            options.lowShelfFreq = freq;
            options.lowShelfGain = gain;
            options.lowShelf = true;
            return 0;
        }
        case 'p':
            return appendBand(value, 0, result);
        case 't':
            return appendBand(value, 1, result);
        default:
            return stopWith(result, kExitCommandLine, "Unknown Filter Option: " + letterText(subLetter));
    }
}

int parseHeader(const char* value, ParseResult& result) {
    std::string extension = std::string(".") + value;
    if (copyText(options.outputExtension, sizeof options.outputExtension, extension.c_str()) != 0)
        return stopWith(result, kExitCommandLine, tooLong("File extension", kExtensionCapacity));
    options.suppressHeader = true;
    return 0;
}

int parseExtractMode(char subLetter, ParseResult& result) {
    switch (subLetter) {
        case 'n':
            options.extractMode = 1;
            return 0;
        case 'b':
            options.extractMode = 0;
            return 0;
        case 's':
            options.extractMode = 2;
            return 0;
        case 'm':
            options.extractMode = 3;
            return 0;
        default:
            return stopWith(result, kExitCommandLine, "Unknown Extract Mode: " + letterText(subLetter));
    }
}

void parsePlay(char subLetter) {
    switch (subLetter) {
        case '\0':
            options.playWhileExtracting = true;
            break;
        case 'o':
            options.playWhileExtracting = true;
            options.encoder = EncoderKind::NoOutput;
            break;
        case 'b':
            options.audioBreaker = true;
            break;
        case 's':
            options.spectrum = true;
            break;
        case 'c':
            options.oscilloscope = true;
            break;
        default:
            break;  // unknown monitor letters are ignored
    }
}

int parseScsiAddress(const char* value, ParseResult& result) {
    if (!value[0] || !value[1] || !value[2]) return stopWith(result, kExitCommandLine, "SCSI Parameters Error");
    options.scsiHost = value[0] - '0';
    options.scsiTarget = value[1] - '0';
    options.scsiLun = value[2] - '0';
    return 0;
}

int parseTrim(char subLetter, ParseResult& result) {
    switch (subLetter) {
        case '\0':
            options.trimLeading = true;
            options.trimTrailing = true;
            return 0;
        case 't':
            options.trimTrailing = true;
            return 0;
        case 'l':
            options.trimLeading = true;
            return 0;
        default:
            return stopWith(result, kExitCommandLine, "Unkown Trim Option: " + letterText(subLetter));
    }
}

int parseZeroPad(char subLetter, const char* value, ParseResult& result) {
    switch (subLetter) {
        case 'l':
            options.padLeadingSeconds = std::atof(value);
            return 0;
        case 't':
            options.padTrailingSeconds = std::atof(value);
            return 0;
        default:
            return stopWith(result, kExitCommandLine, "Unknown Zero Pad Option: " + letterText(subLetter));
    }
}

// Whole samples within a disc's reach, with an optional sign.
int parseReadOffset(const char* value, ParseResult& result) {
    const char* digits = *value == '+' || *value == '-' ? value + 1 : value;
    char* end = nullptr;
    long parsed = std::strtol(value, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(*digits)) || *end != '\0' || parsed < -kMaxReadOffset ||
        parsed > kMaxReadOffset)
        return stopWith(result, kExitCommandLine,
                        "Read offset must be a number of samples from -5880 to +5880: " + std::string(value));
    options.readOffset = static_cast<int>(parsed);
    return 0;
}

int parseVerify(const char* value, ParseResult& result) {
    if (*value != '\0' && strcasecmp(value, "erify") != 0)
        return stopWith(result, kExitCommandLine, std::string("Unknown Verify Option: ") + value);
    options.verify = true;
    return 0;
}

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// One argument that starts with "/" or "-".
int parseOption(const char* argument, ParseResult& result) {
    const char* text = argument + 1;
    if (std::strcmp(text, "scan") == 0) {
        options.deviceScan = true;
        return 0;
    }
    if (strncasecmp(text, "offset", 6) == 0) return parseReadOffset(text + 6, result);
    char letter = folded(text[0]);
    char subLetter = letter ? folded(text[1]) : '\0';
    const char* value = letter ? text + 1 : text;          // after the letter
    const char* subValue = subLetter ? value + 1 : value;  // after the sub-letter

    switch (letter) {
        case '\'':
            return parseClient(value, result);
        case '`':
            return parseServer(value, result);
        case '*':
            return parseFileSpec(value, result);
        case '+':
            return parsePriority(value, result);
        case '/':
            return 0;
        case '0':
            return parseCddb(value, result);
        case '1':
            options.cddbTryCount = std::atoi(value);
            return 0;
        case '2':
            return parseCacheFile(value, result);
        case '3':
            return parseMusicBrainz(value, result);
        case '=':
            result.output += "Enabling Dod Urezi Vizaro\n";
            options.progressChar = '*';
            return 0;
        case '?':
            return parseHelp(value, result);
        case 'a':
            return parseAcm(result);
        case 'b':
            return parseAlternateBasename(value, result);
        case 'c':
            return parseDownmix(subLetter, result);
        case 'd':
            return parseDriveType(value, result);
        case 'e':
            return parseEncoder(subLetter, subValue, result);
        case 'f':
            return parseFilter(subLetter, subValue, result);
        case 'h':
            return parseHeader(value, result);
        case 'i':
            options.id3Tagging = true;
            return 0;
        case 'l':
            options.listToc = true;
            return 0;
        case 'm':
            return parseExtractMode(subLetter, result);
        case 'o':
            parsePlay(subLetter);
            return 0;
        case 'p':
            options.preampGain = std::atof(value);
            return 0;
        case 'q':
            options.cdPlayerMode = true;
            return 0;
        case 'r':
            options.readRetries = std::atoi(value);
            return 0;
        case 's':
            return parseScsiAddress(value, result);
        case 't':
            return parseTrim(subLetter, result);
        case 'v':
            return parseVerify(value, result);
        case 'z':
            return parseZeroPad(subLetter, subValue, result);
        default:
            return stopWith(result, kExitCommandLine, "Unknown Option: " + letterText(letter));
    }
}

int parseBasename(const char* argument, ParseResult& result) {
    if (std::strpbrk(argument, ":%"))
        return stopWith(result, kExitBadBasename, "Filename contains illegal character(s)");
    if (copyText(options.basename, sizeof options.basename, argument) != 0)
        return stopWith(result, kExitBadBasename, tooLong("Basename", kTextCapacity));
    return 0;
}

// strtol as an int: leading blanks and a sign are accepted; values out of
// range are clamped rather than left to overflow.
int readInteger(const char* text, const char** end) {
    char* stop = nullptr;
    long value = std::strtol(text, &stop, 10);
    *end = stop;
    if (value > 2147483647L) return 2147483647;
    if (value < -2147483647L - 1) return -2147483647 - 1;
    return static_cast<int>(value);
}

int parseJob(const char* argument, ParseResult& result) {
    Job job;
    if (std::strcmp(argument, "*") == 0) {
        job.kind = WholeDisc;
    } else if (std::strcmp(argument, "@") == 0) {
        job.kind = AllAudioTracks;
    } else {
        const char* rest = nullptr;
        job.first = readInteger(argument, &rest);
        if (*rest == ':' || *rest == '-') {
            job.kind = *rest == ':' ? TrackRange : SectorRange;
            job.last = readInteger(rest + 1, &rest);
        } else if (*rest == '\0') {
            job.kind = TrackRange;
            job.last = job.first;
        } else {
            return stopWith(result, kExitCommandLine, std::string("Cant parse argument: ") + argument);
        }
    }
    if (options.jobCount >= kMaxJobs)
        return stopWith(result, kExitCommandLine,
                        "Too many list items (at most " + std::to_string(kMaxJobs) + ")");
    options.jobs[options.jobCount++] = job;
    return 0;
}

}  // namespace

ParseResult parseArguments(int count, const char* const* arguments) {
    ParseResult result;
    for (int i = 1; i < count; ++i) {
        const char* argument = arguments[i];
        int failed;
        if (argument[0] == '-' || argument[0] == '/')
            failed = parseOption(argument, result);
        else if (options.basename[0] == '\0')
            failed = parseBasename(argument, result);
        else
            failed = parseJob(argument, result);
        if (failed != 0) break;
    }
    return result;
}

void tokenizeEnvironment(const char* text, EnvironmentTokens& tokens) {
    tokens = EnvironmentTokens();
    char* buffer = tokens.buffer;
    size_t length = strnlen(text, kEnvironmentCapacity - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';

    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    size_t pos = 0;
    while (pos < length && isBlank(buffer[pos])) ++pos;
    while (pos < length && buffer[pos] != '\0' && tokens.count < kMaxEnvironmentTokens) {
        size_t start, end;
        if (buffer[pos] == '"') {
            // An unmatched quote runs to the end of the text.
            start = pos + 1;
            end = start;
            while (end < length && buffer[end] != '"') ++end;
            pos = end + 2;  // past the closing quote and the character after it
        } else {
            start = pos;
            end = start;
            while (end < length && !isBlank(buffer[end])) ++end;
            pos = end + 1;
        }
        buffer[end] = '\0';
        tokens.arguments[++tokens.count] = buffer + start;
        while (pos < length && isBlank(buffer[pos])) ++pos;
    }
    tokens.arguments[0] = "";
}

ParseResult parseEnvironmentText(const char* text) {
    EnvironmentTokens tokens;
    tokenizeEnvironment(text, tokens);
    return parseArguments(tokens.count + 1, tokens.arguments);
}

ParseResult parseEnvironmentString() {
    const char* text = std::getenv("VOLTA");
    if (!text) return ParseResult();
    return parseEnvironmentText(text);
}

bool environmentSwitchedOff(int count, const char* const* arguments) {
    for (int i = 1; i < count; ++i)
        if (std::strcmp(arguments[i], "//") == 0) return true;
    return false;
}
