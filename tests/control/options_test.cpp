#include "engine/control/options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override { options = Options(); }

    static ParseResult parse(std::vector<std::string> args) {
        args.insert(args.begin(), "volta");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        return parseArguments(static_cast<int>(argv.size()), argv.data());
    }

    static void expectAccepted(const ParseResult& r) {
        EXPECT_FALSE(r.stop);
        EXPECT_EQ(r.output, "");
    }

    static void expectRejected(const ParseResult& r, int code, const std::string& line) {
        EXPECT_TRUE(r.stop);
        EXPECT_EQ(r.exitCode, code);
        EXPECT_EQ(r.output, line + "\n");
    }
};

TEST_F(OptionsTest, DefaultsOfTheRecord) {
    EXPECT_EQ(options.globalMode, 0);
    EXPECT_STREQ(options.serverName, "");
    EXPECT_EQ(options.serverPort, 9999);
    EXPECT_EQ(options.queuePriority, 0);
    EXPECT_EQ(options.progressChar, '.');
    EXPECT_EQ(static_cast<int>(options.driveType), 0);
    EXPECT_EQ(options.scsiHost, -1);
    EXPECT_EQ(options.scsiTarget, -1);
    EXPECT_EQ(options.scsiLun, -1);
    EXPECT_EQ(options.extractMode, 0);
    EXPECT_EQ(options.readRetries, 5);
    EXPECT_EQ(options.lowPassCutoff, 8000.0);
    EXPECT_EQ(options.highPassCutoff, 2000.0);
    EXPECT_EQ(static_cast<int>(options.encoder), 0);
    EXPECT_EQ(options.bitrate, 128000);
    EXPECT_EQ(options.encoderExtraArgument, nullptr);
    EXPECT_STREQ(options.outputExtension, ".wav");
    EXPECT_FALSE(options.cddbEnabled);
    EXPECT_STREQ(options.cddbServer, "gnudb.gnudb.org");
    EXPECT_STREQ(options.cddbUserAddress, "volta@localhost");
    EXPECT_EQ(options.cddbTryCount, 5);
    EXPECT_EQ(options.jobCount, 0);
    EXPECT_EQ(options.fileSpecCount, 0);
    EXPECT_EQ(options.eqBandCount, 0);
}

TEST_F(OptionsTest, GlobalModes) {
    expectAccepted(parse({"/'server.example,1234"}));
    EXPECT_EQ(options.globalMode, 1);
    EXPECT_STREQ(options.serverName, "server.example");
    EXPECT_EQ(options.serverPort, 1234);

    options = Options();
    expectAccepted(parse({"/'10.0.0.1"}));
    EXPECT_STREQ(options.serverName, "10.0.0.1");
    EXPECT_EQ(options.serverPort, 9999);

    options = Options();
    expectAccepted(parse({"/'host,"}));
    EXPECT_STREQ(options.serverName, "host");
    EXPECT_EQ(options.serverPort, 9999);

    options = Options();
    expectAccepted(parse({"/`"}));
    EXPECT_EQ(options.globalMode, 2);
    EXPECT_EQ(options.serverPort, 9999);

    options = Options();
    expectAccepted(parse({"-`8000"}));
    EXPECT_EQ(options.globalMode, 2);
    EXPECT_EQ(options.serverPort, 8000);
}

TEST_F(OptionsTest, PrioritiesMapToThreadPriorities) {
    const int expected[] = {-15, -2, -1, 0, 1, 2, 15};
    for (int n = 0; n <= 6; ++n) {
        options = Options();
        expectAccepted(parse({"/+" + std::to_string(n)}));
        EXPECT_EQ(options.queuePriority, expected[n]) << n;
    }
}

TEST_F(OptionsTest, CddbAndFiles) {
    expectAccepted(
        parse({"/0me@example.org,cddb.example.org", "/13", "/2cache.txt", "/bFallback"}));
    EXPECT_TRUE(options.cddbEnabled);
    EXPECT_STREQ(options.cddbUserAddress, "me@example.org");
    EXPECT_STREQ(options.cddbServer, "cddb.example.org");
    EXPECT_EQ(options.cddbTryCount, 3);
    EXPECT_TRUE(options.cacheEnabled);
    EXPECT_STREQ(options.cacheFileName, "cache.txt");
    EXPECT_STREQ(options.alternateBasename, "Fallback");

    options = Options();
    expectAccepted(parse({"/0me@example.org", "/1-1"}));
    EXPECT_STREQ(options.cddbServer, "gnudb.gnudb.org");
    EXPECT_EQ(options.cddbTryCount, -1);
}

TEST_F(OptionsTest, ProgressCharacterSwitchPrintsWithoutStopping) {
    ParseResult r = parse({"/="});
    EXPECT_FALSE(r.stop);
    EXPECT_EQ(r.output, "Enabling Dod Urezi Vizaro\n");
    EXPECT_EQ(options.progressChar, '*');
}

TEST_F(OptionsTest, DownmixDriveAndExtraction) {
    struct Case {
        const char* arg;
        int downmixMode;
    } downmix[] = {{"/cl", 1}, {"/CR", 2}, {"/cm", 0}};
    for (const auto& c : downmix) {
        options = Options();
        expectAccepted(parse({c.arg}));
        EXPECT_TRUE(options.downmix) << c.arg;
        EXPECT_EQ(options.downmixMode, c.downmixMode) << c.arg;
    }

    struct {
        const char* arg;
        int type;
    } drives[] = {{"/dPLEXTOR", 1}, {"/dsony", 1}, {"/dAtApI", 2}, {"/dmmc", 2}, {"/DPhilips", 3}};
    for (const auto& c : drives) {
        options = Options();
        expectAccepted(parse({c.arg}));
        EXPECT_EQ(static_cast<int>(options.driveType), c.type) << c.arg;
    }

    struct {
        const char* arg;
        int mode;
    } modes[] = {{"/mn", 1}, {"/mb", 0}, {"/MS", 2}, {"/mm", 3}};
    for (const auto& c : modes) {
        options = Options();
        options.extractMode = 99;
        expectAccepted(parse({c.arg}));
        EXPECT_EQ(options.extractMode, c.mode) << c.arg;
    }

    options = Options();
    expectAccepted(parse({"/s142", "/r12"}));
    EXPECT_EQ(options.scsiHost, 1);
    EXPECT_EQ(options.scsiTarget, 4);
    EXPECT_EQ(options.scsiLun, 2);
    EXPECT_EQ(options.readRetries, 12);
}

TEST_F(OptionsTest, ScanIsCaseSensitive) {
    expectAccepted(parse({"/scan"}));
    EXPECT_TRUE(options.deviceScan);
    EXPECT_EQ(options.scsiHost, -1);

    options = Options();
    expectAccepted(parse({"-scan"}));
    EXPECT_TRUE(options.deviceScan);

    // Upper case is the SCSI switch: 'C' - '0', 'A' - '0', 'N' - '0'.
    options = Options();
    expectAccepted(parse({"/SCAN"}));
    EXPECT_FALSE(options.deviceScan);
    EXPECT_EQ(options.scsiHost, 19);
    EXPECT_EQ(options.scsiTarget, 17);
    EXPECT_EQ(options.scsiLun, 30);
}

TEST_F(OptionsTest, Encoders) {
    struct Case {
        const char* arg;
        int encoder;
        int bitrate;
    } cases[] = {
        {"/eb", 1, 128000},  {"/eb320", 1, 320000}, {"/ex", 2, 128000},  {"/EX96", 2, 96000},
        {"/el64", 3, 64000}, {"/ev4", 4, 4000},     {"/ew64", 5, 64000}, {"/en", -1, 128000},
    };
    for (const auto& c : cases) {
        options = Options();
        expectAccepted(parse({c.arg}));
        EXPECT_EQ(static_cast<int>(options.encoder), c.encoder) << c.arg;
        EXPECT_EQ(options.bitrate, c.bitrate) << c.arg;
    }

    options = Options();
    expectAccepted(parse({"/eb192", "/ef"}));
    EXPECT_EQ(static_cast<int>(options.encoder), 1);
    EXPECT_EQ(options.bitrate, 192000);
    EXPECT_STREQ(options.encoderExtraArgument, "-l");
}

// FLAC levels and Opus rates are digits within a range, refused at once
// otherwise; they leave the MP3 and WMA bit rate alone.
TEST_F(OptionsTest, FlacLevelsAndOpusRatesAreCheckedWhenParsed) {
    struct Accepted {
        std::vector<std::string> args;
        int encoder;
        int flacLevel;
        int opusBitrate;
    } accepted[] = {
        {{"/ec"}, 6, 5, 160000},        {{"/ec0"}, 6, 0, 160000},         {{"/EC8"}, 6, 8, 160000},
        {{"/ec05"}, 6, 5, 160000},      {{"/eo"}, 7, 5, 160000},          {{"/eo6"}, 7, 5, 6000},
        {{"/eO510"}, 7, 5, 510000},     {{"/eo96", "/eo"}, 7, 5, 96000},  {{"/ec2", "/eo64"}, 7, 2, 64000},
        {{"/eo64", "/eb"}, 1, 5, 64000},
    };
    for (const auto& c : accepted) {
        options = Options();
        expectAccepted(parse(c.args));
        EXPECT_EQ(static_cast<int>(options.encoder), c.encoder) << c.args[0];
        EXPECT_EQ(options.flacLevel, c.flacLevel) << c.args[0];
        EXPECT_EQ(options.opusBitrate, c.opusBitrate) << c.args[0];
        EXPECT_EQ(options.bitrate, 128000) << c.args[0];
    }
    options = Options();
    expectAccepted(parse({"/eb192", "/ec3"}));
    EXPECT_EQ(options.bitrate, 192000);

    const std::pair<std::string, std::string> refused[] = {
        {"/ec9", "Invalid FLAC Compression Level: 9 (0..8)"},
        {"/ec-1", "Invalid FLAC Compression Level: -1 (0..8)"},
        {"/ec5x", "Invalid FLAC Compression Level: 5x (0..8)"},
        {"/ec99999999999", "Invalid FLAC Compression Level: 99999999999 (0..8)"},
        {"/eo5", "Invalid Opus Bitrate: 5 (6..510 kbps)"},
        {"/eo0", "Invalid Opus Bitrate: 0 (6..510 kbps)"},
        {"/eo511", "Invalid Opus Bitrate: 511 (6..510 kbps)"},
        {"/eo64k", "Invalid Opus Bitrate: 64k (6..510 kbps)"},
        {"/eo 64", "Invalid Opus Bitrate:  64 (6..510 kbps)"},
    };
    for (const auto& [arg, line] : refused) {
        options = Options();
        expectRejected(parse({arg}), 1, line);
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/a", "/ec"}, {"/a", "/eo"}, {"/ec", "/a"}, {"/eo128", "/a"}}) {
        options = Options();
        expectRejected(parse(args), 1, "Cannot Use ACM and External Compressor");
    }
}

TEST_F(OptionsTest, AcmConflicts) {
    // /ef and /a do not conflict: /ef sets no encoder.
    expectAccepted(parse({"/ef", "/a"}));
    EXPECT_TRUE(options.useAcm);

    options = Options();
    expectAccepted(parse({"/oo"}));
    EXPECT_EQ(static_cast<int>(options.encoder), -1);
    EXPECT_TRUE(options.playWhileExtracting);
    expectRejected(parse({"/a"}), 1, "Cannot Use ACM and External Compressor");

    options = Options();
    expectRejected(parse({"/a", "/ef"}), 1, "Cannot Use ACM and External Compressor");
    options = Options();
    expectRejected(parse({"/ew", "/a"}), 1, "Cannot Use ACM and External Compressor");
}

TEST_F(OptionsTest, FiltersAndEffects) {
    expectAccepted(parse({"/p-3.5", "/fk", "/fn", "/fr", "/fs0.25", "/fc-0.125", "/fl", "/fh300.5",
                          "/fq4000,3", "/fz100,-6"}));
    EXPECT_EQ(options.preampGain, -3.5);
    EXPECT_TRUE(options.karaoke);
    EXPECT_TRUE(options.normalize);
    EXPECT_TRUE(options.reverb);
    EXPECT_TRUE(options.spread);
    EXPECT_EQ(options.spreadAmount, 0.25);
    EXPECT_TRUE(options.compress);
    EXPECT_EQ(options.compressAmount, -0.125);
    EXPECT_TRUE(options.lowPass);
    EXPECT_EQ(options.lowPassCutoff, 8000.0);  // no value keeps the default
    EXPECT_TRUE(options.highPass);
    EXPECT_EQ(options.highPassCutoff, 300.5);
    EXPECT_TRUE(options.highShelf);
    EXPECT_EQ(options.highShelfFreq, 4000.0);
    EXPECT_EQ(options.highShelfGain, 3.0);
    EXPECT_TRUE(options.lowShelf);
    EXPECT_EQ(options.lowShelfFreq, 100.0);
    EXPECT_EQ(options.lowShelfGain, -6.0);

    options = Options();
    expectAccepted(parse({"/fs", "/fl5000"}));
    EXPECT_TRUE(options.spread);
    EXPECT_EQ(options.spreadAmount, 0.0);
    EXPECT_EQ(options.lowPassCutoff, 5000.0);
}

TEST_F(OptionsTest, EqualiserBandsKeepTheirOrder) {
    expectAccepted(parse({"/fp1000,1,6", "/FT2000,0.7,-3", "/fp50,2,1.5"}));
    ASSERT_EQ(options.eqBandCount, 3);
    EXPECT_EQ(options.eqBands[0].centre, 1000.0);
    EXPECT_EQ(options.eqBands[0].width, 1.0);
    EXPECT_EQ(options.eqBands[0].gain, 6.0);
    EXPECT_EQ(options.eqBands[0].widthKind, 0);
    EXPECT_EQ(options.eqBands[1].centre, 2000.0);
    EXPECT_EQ(options.eqBands[1].width, 0.7);
    EXPECT_EQ(options.eqBands[1].gain, -3.0);
    EXPECT_EQ(options.eqBands[1].widthKind, 1);
    EXPECT_EQ(options.eqBands[2].centre, 50.0);
    EXPECT_EQ(options.eqBands[2].widthKind, 0);
}

TEST_F(OptionsTest, OutputAndSilence) {
    expectAccepted(parse({"/h", "/i", "/t", "/zl2.5", "/zt1"}));
    EXPECT_TRUE(options.suppressHeader);
    EXPECT_STREQ(options.outputExtension, ".");
    EXPECT_TRUE(options.id3Tagging);
    EXPECT_TRUE(options.trimLeading);
    EXPECT_TRUE(options.trimTrailing);
    EXPECT_EQ(options.padLeadingSeconds, 2.5);
    EXPECT_EQ(options.padTrailingSeconds, 1.0);

    options = Options();
    expectAccepted(parse({"/hpcm", "/tt", "/zl"}));
    EXPECT_STREQ(options.outputExtension, ".pcm");
    EXPECT_FALSE(options.trimLeading);
    EXPECT_TRUE(options.trimTrailing);
    EXPECT_EQ(options.padLeadingSeconds, 0.0);

    options = Options();
    expectAccepted(parse({"/tl"}));
    EXPECT_TRUE(options.trimLeading);
    EXPECT_FALSE(options.trimTrailing);
}

TEST_F(OptionsTest, PlayingAndMonitors) {
    expectAccepted(parse({"/ob", "/os", "/oc", "/ox", "/l", "/q"}));
    EXPECT_FALSE(options.playWhileExtracting);  // the monitors do not switch playing on
    EXPECT_TRUE(options.audioBreaker);
    EXPECT_TRUE(options.spectrum);
    EXPECT_TRUE(options.oscilloscope);
    EXPECT_TRUE(options.listToc);
    EXPECT_TRUE(options.cdPlayerMode);
    EXPECT_EQ(static_cast<int>(options.encoder), 0);

    options = Options();
    expectAccepted(parse({"/o"}));
    EXPECT_TRUE(options.playWhileExtracting);
    EXPECT_EQ(static_cast<int>(options.encoder), 0);
}

TEST_F(OptionsTest, BasenameAndJobs) {
    expectAccepted(parse({"disc $2di", "3", "3:5", "150-30000", "*", "@", " 7", "+2"}));
    EXPECT_STREQ(options.basename, "disc $2di");
    struct Expected {
        int first, last, kind;
    } jobs[] = {{3, 3, 1}, {3, 5, 1}, {150, 30000, 2}, {0, 0, 3}, {0, 0, 4}, {7, 7, 1}, {2, 2, 1}};
    ASSERT_EQ(options.jobCount, 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(options.jobs[i].first, jobs[i].first) << i;
        EXPECT_EQ(options.jobs[i].last, jobs[i].last) << i;
        EXPECT_EQ(options.jobs[i].kind, jobs[i].kind) << i;
    }
}

TEST_F(OptionsTest, FirstNonOptionIsAlwaysTheBasename) {
    expectAccepted(parse({"/mn", "3", "/eb", "5"}));
    EXPECT_STREQ(options.basename, "3");
    ASSERT_EQ(options.jobCount, 1);
    EXPECT_EQ(options.jobs[0].first, 5);

    // A backslash path is fine as long as it has no drive letter.
    options = Options();
    expectAccepted(parse({"\\music\\$2di"}));
    EXPECT_STREQ(options.basename, "\\music\\$2di");
}

TEST_F(OptionsTest, LaterScalarsOverrideEarlierOnes) {
    expectAccepted(parse({"/mn", "/eb128", "/mm", "/ex256", "/r1", "/r9"}));
    EXPECT_EQ(options.extractMode, 3);
    EXPECT_EQ(static_cast<int>(options.encoder), 2);
    EXPECT_EQ(options.bitrate, 256000);
    EXPECT_EQ(options.readRetries, 9);
}

TEST_F(OptionsTest, ParsingStopsAtTheFirstError) {
    expectRejected(parse({"/mn", "/y", "/mm", "disc"}), 1, "Unknown Option: y");
    EXPECT_EQ(options.extractMode, 1);
    EXPECT_STREQ(options.basename, "");
}

TEST_F(OptionsTest, RejectedBasenameLeavesTheFieldEmpty) {
    expectRejected(parse({"C:\\music\\$2di"}), 31, "Filename contains illegal character(s)");
    EXPECT_STREQ(options.basename, "");
    options = Options();
    expectRejected(parse({"100%"}), 31, "Filename contains illegal character(s)");
}

// Each text field takes exactly its capacity less the NUL; one more
// character is rejected with a message and the field is left as it was.
TEST_F(OptionsTest, TextCapacities) {
    struct Case {
        std::string prefix;
        size_t fits;
        int code;
        std::string message;
        const char* (*field)();
    } cases[] = {
        {"", 127, 31, "Basename too long (at most 127 characters)",
         [] { return (const char*)options.basename; }},
        {"/b", 127, 31, "Alternate basename too long (at most 127 characters)",
         [] { return (const char*)options.alternateBasename; }},
        {"/'", 127, 32, "Distributed Server Address too long (at most 127 characters)",
         [] { return (const char*)options.serverName; }},
        {"/0", 127, 24, "CDDB e-mail address too long (at most 127 characters)",
         [] { return (const char*)options.cddbUserAddress; }},
        {"/0me,", 127, 24, "CDDB server name too long (at most 127 characters)",
         [] { return (const char*)options.cddbServer; }},
        {"/2", 1023, 32, "CD Cache File Name too long (at most 1023 characters)",
         [] { return (const char*)options.cacheFileName; }},
        {"/*", 255, 33, "Filespec too long (at most 255 characters)",
         [] { return (const char*)options.fileSpecs[0]; }},
        {"/h", 30, 1, "File extension too long (at most 31 characters)",
         [] { return (const char*)options.outputExtension; }},
    };
    for (const auto& c : cases) {
        options = Options();
        std::string before = c.field();
        std::string fitting(c.fits, 'n');
        expectAccepted(parse({c.prefix + fitting}));
        std::string stored = c.field();
        EXPECT_EQ(stored.size(), c.prefix == "/h" ? c.fits + 1 : c.fits) << c.prefix;

        options = Options();
        expectRejected(parse({c.prefix + fitting + "n"}), c.code, c.message);
        EXPECT_EQ(std::string(c.field()), before) << c.prefix;
    }
}

TEST_F(OptionsTest, ListCapacities) {
    std::vector<std::string> args{"disc"};
    for (int i = 1; i <= 128; ++i) args.push_back(std::to_string(i));
    expectAccepted(parse(args));
    EXPECT_EQ(options.jobCount, 128);
    EXPECT_EQ(options.jobs[127].first, 128);
    expectRejected(parse({"129"}), 1, "Too many list items (at most 128)");
    EXPECT_EQ(options.jobCount, 128);

    options = Options();
    args.clear();
    for (int i = 0; i < 64; ++i) args.push_back("/*file" + std::to_string(i) + ".wav");
    expectAccepted(parse(args));
    EXPECT_EQ(options.fileSpecCount, 64);
    EXPECT_STREQ(options.fileSpecs[63], "file63.wav");
    expectRejected(parse({"/*one-more.wav"}), 33, "Too many filespecs (at most 64)");
    EXPECT_EQ(options.fileSpecCount, 64);

    options = Options();
    args.clear();
    for (int i = 0; i < 100; ++i) args.push_back("/fp" + std::to_string(100 + i) + ",1,0");
    expectAccepted(parse(args));
    EXPECT_EQ(options.eqBandCount, 100);
    EXPECT_EQ(options.eqBands[99].centre, 199.0);
    expectRejected(parse({"/ft1,1,1"}), 20, "Too many equalizer bands (at most 100)");
    EXPECT_EQ(options.eqBandCount, 100);
}

TEST_F(OptionsTest, HugeNumbersDoNotOverflow) {
    expectRejected(parse({"/eb99999999999"}), 1,
                   "Bit rate 99999999999 kbps does not work with /eb: use 32, 40, 48, 56, 64, 80, 96, 112, 128, "
                   "160, 192, 224, 256 or 320");
    expectAccepted(parse({"disc", "99999999999:-99999999999"}));
    EXPECT_EQ(options.jobs[0].first, 2147483647);
    EXPECT_EQ(options.jobs[0].last, -2147483647 - 1);
}

TEST(EnvironmentTokens, SplitsAtBlanksTabsAndQuotes) {
    struct Case {
        const char* text;
        std::vector<std::string> tokens;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"/mm /eb192", {"/mm", "/eb192"}},
        {"\t /mm\t\t/l  ", {"/mm", "/l"}},
        {"\"my disc $2di\" 3", {"my disc $2di", "3"}},
        // The character after a closing quote is skipped.
        {"\"a\"b c", {"a", "c"}},
        {"\"\" x", {"", "x"}},
        // An unmatched quote runs to the end.
        {"/l \"open ended", {"/l", "open ended"}},
        {"a\"b c", {"a\"b", "c"}},
    };
    for (const auto& c : cases) {
        EnvironmentTokens t;
        tokenizeEnvironment(c.text, t);
        ASSERT_EQ(t.count, static_cast<int>(c.tokens.size())) << c.text;
        EXPECT_STREQ(t.arguments[0], "") << c.text;
        for (int i = 0; i < t.count; ++i) EXPECT_EQ(t.arguments[i + 1], c.tokens[i]) << c.text;
    }
}

TEST(EnvironmentTokens, LengthAndTokenLimits) {
    std::string many;
    for (int i = 1; i <= 150; ++i) many += "t" + std::to_string(i) + " ";
    EnvironmentTokens t;
    tokenizeEnvironment(many.c_str(), t);
    EXPECT_EQ(t.count, 99);
    EXPECT_STREQ(t.arguments[99], "t99");

    std::string longText(2000, 'x');
    tokenizeEnvironment(longText.c_str(), t);
    ASSERT_EQ(t.count, 1);
    EXPECT_EQ(std::string(t.arguments[1]), std::string(1023, 'x'));

    // A token that would start past character 1023 is cut off.
    std::string edge = std::string(1022, 'a') + " b";
    tokenizeEnvironment(edge.c_str(), t);
    EXPECT_EQ(t.count, 1);
}

TEST(EnvironmentTokens, DoubleSlashSwitchesTheStringOff) {
    const char* withSwitch[] = {"volta", "disc", "//", "1"};
    const char* withoutSwitch[] = {"//", "disc", "///", "-/"};
    EXPECT_TRUE(environmentSwitchedOff(4, withSwitch));
    EXPECT_FALSE(environmentSwitchedOff(4, withoutSwitch));  // argument 0 is never looked at
    EXPECT_FALSE(environmentSwitchedOff(1, withSwitch));
}

TEST_F(OptionsTest, EnvironmentComesFirstAndTheCommandLineOverrides) {
    expectAccepted(parseEnvironmentText("/mm /eb192 \"env disc\" 2"));
    expectAccepted(parse({"/mn", "3"}));
    EXPECT_EQ(options.extractMode, 1);
    EXPECT_EQ(static_cast<int>(options.encoder), 1);
    EXPECT_EQ(options.bitrate, 192000);
    EXPECT_STREQ(options.basename, "env disc");
    ASSERT_EQ(options.jobCount, 2);
    EXPECT_EQ(options.jobs[0].first, 2);
    EXPECT_EQ(options.jobs[1].first, 3);
}

}  // namespace
