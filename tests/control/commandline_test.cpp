#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace fs = std::filesystem;

namespace {

const std::string kStandalone = "Running in Standalone Normal Mode\n";

const char kUsage[] = R"(Usage: VOLTA [options] basename [options] (list) [options] [/?x]

    /?x : display more help on x where x is:

filters : digital filters and the pre-amplifier
drives  : setting SCSI and drive parameters
modes   : various extraction modes and what they do
encoders: information on ACM, and other encoders, header supression
silence : trimming/adding silence to the beginning/end of a sample
files   : list/file name conventions/name parsing/cddb
distrib : help with the global modes
cd      : cd playing, play during extract, display table of contents

    /+x : set queue thread priority to x (0..6)
    /=  : enable "Dod Urezi Vizaro"
    //  : do not use VOLTA environment string
Note    : the VOLTA environment string is parsed for arguments
)";

const char kFilters[] = R"(Filter Parameters Help
/px      : apply a pre-amplifer with gain x(dB)
/fk      : karaoke filter!
/fn      : normalize the output (memory extract only)
/fr      : apply a reverb filter (Sounds Bad)
/fsx     : apply a spread filter with paramter x (-1..1)
/fcx     : apply a compression/expansion filter with parameter x (-0.5..0.5)
/flx     : apply a low-pass filter with cutoff frequency x(Hz)
/fhx     : apply a high-pass filter with cutoff frequency x(Hz)
/fqx,y   : apply a high-shelf filter with shelf frequency x(Hz) and gain y(dB)
/fzx,y   : apply a low-shelf filter with shelf frequency x(Hz) and gain y(dB)
/fpx,y,z : apply a parametric equalization filter with center frequency x(Hz),
           bandwidth y(octaves), and gain z(dB)
/ftx,y,z : apply a parametric equalization filter with center frequency x(Hz),
           Q y(ambiguous EE definition), and gain z(dB)
)";

const char kDrives[] = R"(Drive Parameters Help

/dx      : set drive mode to x (e.g. PHILIPS, PLEXTOR)
           NOTE: ATAPI DRIVES MUST BE SET TO ATAPI
/sxyz    : set SCSI host to x, target to y and logical unit to z
           example: /s040 means host 0, target 4, logical unit 0
/offsetx : correct the drive's read offset of x samples (-5880..+5880),
           as drive offset lists give it (a drive listed as +6: /offset+6)
)";

const char kModes[] = R"(Mode Parameters Help

/mn      : normal mode: read. write, and repeat
/mb      : burst mode: read, read + write, read + write, and repeat
/ms      : sync mode: read, read + align, read + align, and repeat
/mm      : memory mode: read into memory, write to disc

/rx      : set read retries to x (5)
/v       : verify the rip with AccurateRip, write a rip log and a cue sheet
           (/v /l: check the disc in the database without ripping)
)";

const char kEncoders[] = R"(Encoder Parameters Help

/a       : use Window Audio Compression Manager (ACM) to select output format
/exb     : use Xing's X3ENC.EXE to compress the output with bitrate b (kbps)
/evb     : use Xing's X3ENC.EXE in VBR mode with rate b (VBR rate) (1.5+)
/elb     : use L3ENC.EXE to compress the output with bitrate b (kbps)
/ebb     : use BLADEENC.DLL to compress durectly to mp3 with bitrate b (kbps)
/ewb     : use MSAudio codec to compress Windows Media with bitrate b (kbps)
/ecx     : use libFLAC to compress losslessly to FLAC at level x (0..8, 5)
/eob     : use libopusenc to compress to Opus with bitrate b (6..510 kbps, 160)
/ef      : disable high-frequency encoding on XingMP3 1.5+
/en      : write no output file
/i       : enable MP3 ID3 tagging (worthless without CDDB)
/hx      : supress RIFF/WAVE header, new file extension is x
)";

const char kSilence[] = R"(Silence Parameters Help

/tl      : trim leading silence
/tt      : trim trailing silence
/t       : trim both leading and trailing silence
/zlx     : add x seconds of leading silence
/ztx     : add x seconds of trailing silence
)";

const char kFiles[] = R"(File Parameters Help

/0x      : identify CD with CDDB (gnudb.gnudb.org), log on with email address x
/0x,y    : same as /0x, but use alternate CDDB server y
/1x      : set CDDB try count to x
/2x      : set CDDB local cache file to x
/bx      : set alternate basename in the event of CDDB failure
/3[n]    : identify CD with MusicBrainz, release n when several match (1),
           at VOLTA_MUSICBRAINZ_URL (https://musicbrainz.org/ws/2)
           names: CD-TEXT, else MusicBrainz, else CDDB (/0), else /b
/*a      : add filespec a to the process queue

basename formatting:
basename may have quotes around it to indicate it contains spaces
basename may contain any of the following:
$i       : insert the track index here
$2di     : insert the track index with two digits here
$t       : intert the track name here (CDDB only)
$a       : insert the artist name here (CDDB only)
$d       : insert the disc name here (CDDB only)
$m       : insert the track time here
NOTE: if CDDB is not used, and a $i or $2di are not in the basename,
a two digit track number will always be appended to the end
)";

const char kCd[] = R"(CD Parameters Help

/q       : VOLTA runs in cdplayer mode
/o[o]    : play files while extracting them (without file writing)
           note: /oo is the same as /o /en
/os      : enable spectrum analysis
/oc      : enable oscilloscpe
/ob      : add audio breaker to the play stream
/l       : display the cds table of contents
)";

const char kDistrib[] = R"(Global Modes Help

/`[y]    : run in distributed server mode on port y (9999)
/'x[,y]  : run in distributed client mode (connect to server x) (on port y (9999))

note: distributed modes act over TCP/IP networks, so the server name
      must be an IP address, a fully qualified domain name, something
      in the LMHOSTS file, or something in your own domain
)";

struct Expectation {
    std::vector<std::string> args;
    std::string output;  // what follows the banner
    int exitCode;
};

void expectRun(const Expectation& e, const RunOptions& opts = {}) {
    RunResult r = runVolta(e.args, opts);
    std::string shown;
    for (const auto& a : e.args) shown += "[" + a + "]";
    EXPECT_EQ(r.output, bannerText() + e.output) << shown;
    EXPECT_EQ(r.exitCode, e.exitCode) << shown;
}

RunOptions withEnvironment(const std::string& value) {
    RunOptions opts;
    opts.env = {{"VOLTA", value}};
    return opts;
}

TEST(CommandLine, BannerIsThreeLines) {
    std::string banner = bannerText();
    EXPECT_EQ(banner.rfind("TANAGER 2.80 Release (May 13 2000,00:39:12)\n", 0), 0u);
    int newlines = 0;
    for (char c : banner) newlines += c == '\n';
    EXPECT_EQ(newlines, 3);
    EXPECT_EQ(banner.substr(banner.size() - 2), "\n\n");
}

TEST(CommandLine, NoArgumentsAsksForACommandLine) {
    expectRun({{}, kStandalone + "No command line, try /?\n", 19});
}

TEST(CommandLine, BasenameWithoutJobsEndsQuietly) {
    expectRun({{"disc"}, kStandalone, 0});
    expectRun({{"\\music\\$2di"}, kStandalone, 0});
    expectRun({{"/SCAN"}, kStandalone, 0});
    expectRun({{"/mn", "/eb320", "/+3", "/ox", "//", "my disc"}, kStandalone, 0});
}

TEST(CommandLine, HelpPages) {
    std::vector<Expectation> cases = {
        {{"/?"}, kUsage, 1},
        {{"-?"}, kUsage, 1},
        {{"/?filters"}, kFilters, 1},
        {{"/?drives"}, kDrives, 1},
        {{"/?modes"}, kModes, 1},
        {{"/?encoders"}, kEncoders, 1},
        {{"/?silence"}, kSilence, 1},
        {{"/?files"}, kFiles, 1},
        {{"/?cd"}, kCd, 1},
        {{"/?distrib"}, kDistrib, 1},
        {{"/?FILES"}, kFiles, 1},
        {{"-?Cd"}, kCd, 1},
        {{"/?foo"}, "Unknown help option: foo\n", 1},
        // Help ends the run at once, before later arguments or the mode line.
        {{"disc", "/?modes", "/x"}, kModes, 1},
    };
    for (const auto& c : cases) expectRun(c);
}

TEST(CommandLine, ErrorsAndTheirExitCodes) {
    std::vector<Expectation> cases = {
        {{"/x"}, "Unknown Option: x\n", 1},
        {{"/X"}, "Unknown Option: x\n", 1},
        {{"-5"}, "Unknown Option: 5\n", 1},
        {{"/"}, "Unknown Option: \n", 1},
        {{"/+"}, "Priority must be specified\n", 1},
        {{"/+7"}, "Invalid Priority: 7\n", 1},
        {{"/+-1"}, "Invalid Priority: -1\n", 1},
        {{"/'"}, "No Distributed Server Address\n", 32},
        {{"/',9999"}, "No Distributed Server Address\n", 32},
        {{"/*"}, "No filespec on process queue option\n", 33},
        {{"/0"}, "Must supply e-mail address for CDDB\n", 24},
        {{"/0,cddb.example.org"}, "Must supply e-mail address for CDDB\n", 24},
        {{"/2"}, "CD Cache File Name Not Specified\n", 32},
        {{"/30"}, "Invalid MusicBrainz release: 0\n", 1},
        {{"/3-2"}, "Invalid MusicBrainz release: -2\n", 1},
        {{"/32x"}, "Invalid MusicBrainz release: 2x\n", 1},
        {{"/3501"}, "Invalid MusicBrainz release: 501\n", 1},
        {{"/eb", "/a"}, "Cannot Use ACM and External Compressor\n", 1},
        {{"/en", "/a"}, "Cannot Use ACM and External Compressor\n", 1},
        {{"/oo", "/a"}, "Cannot Use ACM and External Compressor\n", 1},
        {{"/a", "/ef"}, "Cannot Use ACM and External Compressor\n", 1},
        {{"/a", "/eq"}, "Cannot Use ACM and External Compressor\n", 1},
        {{"/b"}, "Alternate Base Error\n", 31},
        {{"/c"}, "Unknown downmix option: \n", 1},
        {{"/cX"}, "Unknown downmix option: x\n", 1},
        {{"/dfoo"}, "Unknown drive type: foo\n", 1},
        {{"/d"}, "Unknown drive type: \n", 1},
        {{"/eq128"}, "Unknown encoder option: q\n", 1},
        {{"/e"}, "Unknown encoder option: \n", 1},
        {{"/fX"}, "Unknown Filter Option: x\n", 1},
        {{"/f"}, "Unknown Filter Option: \n", 1},
        {{"/fp"}, "Parametric EQ Must Have Parameters\n", 20},
        {{"/ft"}, "Parametric EQ Must Have Parameters\n", 20},
        {{"/fp1000,1"}, "Parametric EQ Parameter Error\n", 20},
        {{"/ftx,1,2"}, "Parametric EQ Parameter Error\n", 20},
        {{"/fq"}, "High-Shelf Must Have Parameters\n", 20},
        {{"/fq1000"}, "High Shelf Parameter Error\n", 20},
        {{"/fz"}, "Low-Shelf Must Have Parameters\n", 20},
        {{"/fz100"}, "Low-Shelf Must Have Parameters\n", 20},
        {{"/mx"}, "Unknown Extract Mode: x\n", 1},
        {{"/m"}, "Unknown Extract Mode: \n", 1},
        {{"/s04"}, "SCSI Parameters Error\n", 1},
        {{"/s"}, "SCSI Parameters Error\n", 1},
        {{"/tx"}, "Unkown Trim Option: x\n", 1},
        {{"/zx2"}, "Unknown Zero Pad Option: x\n", 1},
        {{"/z"}, "Unknown Zero Pad Option: \n", 1},
        {{"disc", "3x"}, "Cant parse argument: 3x\n", 1},
        {{"disc", "**"}, "Cant parse argument: **\n", 1},
        {{"disc", "@1"}, "Cant parse argument: @1\n", 1},
        {{"disc", "3 :5"}, "Cant parse argument: 3 :5\n", 1},
        {{"C:\\music\\$2di"}, "Filename contains illegal character(s)\n", 31},
        {{"50%"}, "Filename contains illegal character(s)\n", 31},
    };
    for (const auto& c : cases) expectRun(c);
}

TEST(CommandLine, OverlongValuesAreRejected) {
    std::string n127(127, 'n'), n128(128, 'n');
    expectRun({{n127}, kStandalone, 0});
    expectRun({{n128}, "Basename too long (at most 127 characters)\n", 31});
    expectRun({{"/b" + n128}, "Alternate basename too long (at most 127 characters)\n", 31});
    expectRun({{"/2" + std::string(1024, 'c')},
               "CD Cache File Name too long (at most 1023 characters)\n",
               32});

    std::vector<std::string> args{"disc"};
    for (int i = 0; i < 129; ++i) args.push_back("1");
    expectRun({args, "Too many list items (at most 128)\n", 1});
}

// Numbers that no encoder or port can use stop the run before the drive,
// the network or a file is touched; the rates at the edges still rip.
TEST(CommandLine, OutOfRangeNumbersAreRefusedFirst) {
    TempDir dir;
    DiscImage image(dir.path(), audioDisc({30}));
    RunOptions run;
    run.cwd = dir.path() + "/out";
    fs::create_directory(run.cwd);
    run.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
    const std::string mp3Rates = "use 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256 or 320\n";
    std::vector<Expectation> refused = {
        {{"/eb100"}, "Bit rate 100 kbps does not work with /eb: " + mp3Rates, 1},
        {{"/eb0"}, "Bit rate 0 kbps does not work with /eb: " + mp3Rates, 1},
        {{"/ebx"}, "Bit rate 0 kbps does not work with /eb: " + mp3Rates, 1},
        {{"/eb-128"}, "Bit rate -128 kbps does not work with /eb: " + mp3Rates, 1},
        {{"/ew8"}, "Bit rate 8 kbps does not work with /ew: use 24 to 320\n", 1},
        {{"/ew99999"}, "Bit rate 99999 kbps does not work with /ew: use 24 to 320\n", 1},
        {{"/ew4294999"}, "Bit rate 4294999 kbps does not work with /ew: use 24 to 320\n", 1},
        {{"/eb99999999999999999999"}, "Bit rate 99999999999999999999 kbps does not work with /eb: " + mp3Rates, 1},
        // A rate given for one encoder is checked against the one chosen last.
        {{"/ew24", "/eb"}, "Bit rate 24 kbps does not work with /eb: " + mp3Rates, 1},
        {{"/'localhost,85534"}, "Port 85534 does not work: use 1 to 65535\n", 1},
        {{"/'localhost,0"}, "Port 0 does not work: use 1 to 65535\n", 1},
        {{"/'localhost,99x"}, "Port 99x does not work: use 1 to 65535\n", 1},
        {{"/`65536"}, "Port 65536 does not work: use 1 to 65535\n", 1},
        {{"/`0"}, "Port 0 does not work: use 1 to 65535\n", 1},
        {{"/`-1"}, "Port -1 does not work: use 1 to 65535\n", 1},
    };
    for (Expectation& e : refused) {
        e.args.insert(e.args.end(), {"disc", "1"});
        expectRun(e, run);
        EXPECT_TRUE(fs::is_empty(run.cwd)) << e.args[0];
    }
    for (const char* rate : {"/eb32", "/eb320", "/ew24", "/ew320"}) {
        RunResult r = runVolta({rate, "disc", "1"}, run);
        EXPECT_EQ(r.exitCode, 0) << rate << r.output;
    }
    EXPECT_TRUE(fs::exists(run.cwd + "/disc01.mp3"));
    EXPECT_TRUE(fs::exists(run.cwd + "/disc01.wma"));
}

TEST(CommandLine, ProgressCharacterMessage) {
    expectRun({{"/=", "disc"}, "Enabling Dod Urezi Vizaro\n" + kStandalone, 0});
}

TEST(EnvironmentString, IsParsedBeforeTheCommandLine) {
    // Scalars from the environment are overridden; conflicts still show.
    expectRun({{"/a"}, "Cannot Use ACM and External Compressor\n", 1}, withEnvironment("/eb192"));
    expectRun({{"disc"}, "Unknown Option: x\n", 1}, withEnvironment("/mm /x"));
    expectRun({{"disc"}, "Enabling Dod Urezi Vizaro\n" + kStandalone, 0}, withEnvironment("/="));
    // The environment's first non-option is the basename, so "3x" is a list item.
    expectRun({{"3x"}, "Cant parse argument: 3x\n", 1}, withEnvironment("disc"));
}

TEST(EnvironmentString, QuotesHoldBlanks) {
    expectRun({{"1x"}, "Cant parse argument: 1x\n", 1}, withEnvironment("\"my disc\""));
    expectRun({{"x"}, "Filename contains illegal character(s)\n", 31},
              withEnvironment("\t\"C:\\my music\"  "));
    // The character after a closing quote is skipped, so "/x" is never an option here.
    expectRun({{"/?files"}, kDrives, 1}, withEnvironment("\"/l\"/x /?drives"));
}

TEST(EnvironmentString, AloneIsNoCommandLine) {
    expectRun({{}, kStandalone + "No command line, try /?\n", 19}, withEnvironment("disc /mn"));
    // With no arguments the environment string is still read.
    expectRun({{}, kDrives, 1}, withEnvironment("/?drives"));
}

TEST(EnvironmentString, DoubleSlashSwitchesItOff) {
    expectRun({{"//", "/a"}, kStandalone, 0}, withEnvironment("/eb192"));
    expectRun({{"disc", "//"}, kStandalone, 0}, withEnvironment("/x"));
    expectRun({{"//"}, kStandalone, 0}, withEnvironment("/="));
}

TEST(EnvironmentString, LongStringsAreCutNotOverrun) {
    // 1023 characters are used; the /x beyond them is never seen.
    std::string value = "/mn" + std::string(1020, ' ') + "/x";
    expectRun({{"disc"}, kStandalone, 0}, withEnvironment(value));

    // Only 99 tokens are used; the 100th (an unknown option) is dropped.
    std::string tokens;
    for (int i = 0; i < 99; ++i) tokens += "/r1 ";
    expectRun({{"disc"}, kStandalone, 0}, withEnvironment(tokens + "/x"));
    tokens.resize(tokens.size() - 4);
    expectRun({{"disc"}, "Unknown Option: x\n", 1}, withEnvironment(tokens + "/x"));
}

}  // namespace
