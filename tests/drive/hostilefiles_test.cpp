#include "engine/drive/cdtext.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Sheets, pack files and outputs that are hostile or merely unusual, through
// the program. A run that hangs is killed well before the test's own limit.
class HostileFilesTest : public testing::Test {
protected:
    void SetUp() override { image = std::make_unique<DiscImage>(dir.path(), audioDisc({75, 75})); }

    RunResult run(const std::string& images, const std::vector<std::string>& args) {
        RunOptions opts;
        opts.cwd = dir.path();
        opts.env = {{"VOLTA_IMAGES", images}};
        opts.timeoutSeconds = 20;
        return runVolta(args, opts);
    }

    void makeFifo(const std::string& name) { ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0600), 0) << name; }

    TempDir dir;
    std::unique_ptr<DiscImage> image;
};

TEST_F(HostileFilesTest, SheetLineEndsAndQuotedSheetText) {
    const std::string body[] = {"FILE \"disc.bin\" BINARY", "  TRACK 01 AUDIO", "    INDEX 01 00:00:00",
                                "  TRACK 02 AUDIO", "    INDEX 01 00:01:00"};
    auto sheet = [&](const std::string& end) {
        std::string text;
        for (const auto& line : body) text += line + end;
        return text;
    };
    struct Case {
        std::string sheet;
        int exitCode;
        std::string expected;
    };
    const Case cases[] = {
        {sheet("\r"), 0, " 2) Audio 75     150    00:01.00"},
        {sheet("\r\n"), 0, " 2) Audio 75     150    00:01.00"},
        {sheet("\n") + "  TRACK 0\x1b]0;owned\x07 AUDIO\n", 2, ":6: bad track number 0\\x1B]0;owned\\x07\n"},
        {std::string("FILE \"disc.bin\0.x\" BINARY\n", 27) + "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", 2,
         ":1: the file name holds a NUL byte\n"},
    };
    for (const Case& c : cases) {
        writeFile(dir.file("case.cue"), c.sheet);
        RunResult result = run(dir.file("case.cue"), {"/l"});
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
        EXPECT_TRUE(contains(result.output, c.expected)) << result.output;
        EXPECT_FALSE(contains(result.output, "\x1b")) << result.output;
    }

    RunResult result = run(image->imagesEntry("speed=1e-300"), {"/l"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(contains(result.output, "bad drive setting \"speed=1e-300\"")) << result.output;
}

TEST_F(HostileFilesTest, CdTextControlCharactersBecomeBlanks) {
    CdTextSource source;
    source.discTitle = "Evil\n 2) Audio forged\x1b[2J";
    source.trackTitles = {"a\nb", "c\rd"};
    source.trackPerformers = {"", ""};
    std::vector<uint8_t> packs;
    ASSERT_EQ(buildCdTextPacks(source, packs), 0);
    writeFile(dir.file("disc.cdt"), std::string(packs.begin(), packs.end()));
    writeFile(dir.file("text.cue"), readFile(image->cuePath()) + "CDTEXTFILE \"disc.cdt\"\n");

    RunResult result = run(dir.file("text.cue"), {"/l", "$t", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_TRUE(contains(result.output, "(Unknown - Evil  2) Audio forged [2J):\n")) << result.output;
    EXPECT_TRUE(contains(result.output, "Without  a b\n"));
    EXPECT_FALSE(contains(result.output, "\x1b"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("a b.wav")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("c d.wav")));
}

TEST_F(HostileFilesTest, FifosAndDevicesInEveryFileRole) {
    for (const char* fifo : {"fifo.cue", "fifo.bin", "fifo.cdt", "fifo.wav", "out01.wav"}) makeFifo(fifo);
    writeFile(dir.file("data.cue"), "FILE \"fifo.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    writeFile(dir.file("text.cue"), readFile(image->cuePath()) + "CDTEXTFILE \"fifo.cdt\"\n");
    struct Case {
        std::string images;
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {dir.file("fifo.cue"), {"/l"}, "fifo.cue: not a CUE sheet\nASPI Initialization Failure!\n"},
        {dir.file("data.cue"), {"/l"}, "fifo.bin: not a regular file\nASPI Initialization Failure!\n"},
        {dir.file("text.cue"), {"/l"}, "fifo.cdt: not a regular file\nASPI Initialization Failure!\n"},
        {image->imagesEntry(), {"/*fifo.wav"}, "Warning, fifo.wav Is Not A Regular File, Skipping\n"},
        {image->imagesEntry(), {"out", "1"}, "Output \"out01.wav\" Is Not A Regular File\n"},
    };
    for (const Case& c : cases) {
        RunResult result = run(c.images, c.args);
        EXPECT_NE(result.exitCode, -1) << "hung: " << c.expected;
        EXPECT_TRUE(contains(result.output, c.expected)) << result.output;
    }
}

}  // namespace
