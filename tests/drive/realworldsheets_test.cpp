// Sheets and CD-TEXT dumps as other tools write them (fixtures in
// tests/data/sheets), ripped end to end.

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSector = 2352;

std::string sectorsFrom(int firstLba, int count) {
    std::string bytes;
    for (int k = 0; k < count; ++k) bytes += audioSectorBytes(firstLba + k);
    return bytes;
}

std::string id3Tag(const std::string& path) {
    std::string file = readFile(path);
    return file.size() < 128 ? "" : file.substr(file.size() - 128);
}

std::string field(const std::string& text, size_t width = 30) {
    std::string padded = text;
    padded.resize(width, '\0');
    return padded;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> wavFiles(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        if (entry.path().extension() == ".wav") names.push_back(entry.path().filename().string());
    return names;
}

class RealWorldSheetTest : public ::testing::Test {
protected:
    void copyFixture(const std::string& name, const std::string& as = "") {
        fs::copy_file(testData("sheets/" + name), dir.file(as.empty() ? name : as));
    }
    RunResult run(const std::string& imagesEntry, const std::vector<std::string>& args) {
        RunOptions opts;
        opts.env = {{"VOLTA_IMAGES", imagesEntry}};
        opts.cwd = out.path();
        return runVolta(args, opts);
    }

    TempDir dir;  // the image
    TempDir out;  // the rip
};

// Unquoted texts, "\" paths in another letter case, POSTGAP, and a sheet
// path with a comma, quoted in VOLTA_IMAGES.
TEST_F(RealWorldSheetTest, WindowsSheet) {
    copyFixture("windows.cue", "Lanterns, The - Evening.cue");
    fs::create_directory(dir.file("audio"));
    writeFile(dir.file("audio/01 - Morning.wav"), makeWav(sectorsFrom(0, 300)));
    writeFile(dir.file("audio/02 - Evening.wav"), makeWav(sectorsFrom(5000, 375)));
    std::string entry = "\"" + dir.file("Lanterns, The - Evening.cue") + "\",shift=0";
    RunResult result = run(entry, {"/l", "/i", "$2di $t", "@"});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    EXPECT_TRUE(contains(result.output,
                         "Table Of Contents (Lanterns of the Valley - Only By the Evening Light):"))
        << result.output;
    EXPECT_TRUE(contains(result.output, " 2) Audio 300    525    00:03.00 "));
    // The last track ends two seconds after its file, at the lead-out.
    EXPECT_TRUE(contains(result.output, " 3) Audio 525    825    00:04.00  No  Without  Last Song\n"));

    EXPECT_EQ(wavData(out.file("01 First Light of Day.wav")), sectorsFrom(0, 300));
    EXPECT_EQ(wavData(out.file("02 Evening, Slowly.wav")), sectorsFrom(5000, 225));
    EXPECT_EQ(wavData(out.file("03 Last Song.wav")),
              sectorsFrom(5225, 150) + std::string(150 * kSector, '\0'));
    std::string tag = id3Tag(out.file("01 First Light of Day.wav"));
    EXPECT_EQ(tag.substr(3, 90), field("First Light of Day") + field("Lanterns of the Valley") +
                                     field("Only By the Evening Light"));
}

// A bare pack dump with a trailing 0 byte, in ISO 8859-1: UTF-8 on the
// console and in file names, ISO 8859-1 in the tag.
TEST_F(RealWorldSheetTest, PackDumpWithATrailingNul) {
    copyFixture("packdump.cue");
    copyFixture("packdump.cdt");
    writeFile(dir.file("packdump.bin"), sectorsFrom(0, 300));
    RunResult result = run(dir.file("packdump.cue"), {"/l", "/i", "$a - $t", "@"});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    EXPECT_TRUE(contains(result.output, "Using CD-TEXT Information\n"));
    EXPECT_TRUE(contains(result.output, "Table Of Contents (Orquesta Ib\u00e9rica - Bien Cl\u00e1sico):"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "Without  Ni\u00f1o Peque\u00f1o\n"));
    std::string first = "Orquesta Ib\u00e9rica - Caf\u00e9 Ol\u00e9.wav";
    EXPECT_EQ(wavData(out.file(first)), sectorsFrom(0, 150));
    EXPECT_TRUE(fs::exists(out.file("Orquesta Ib\u00e9rica - Ni\u00f1o Peque\u00f1o.wav")));
    EXPECT_EQ(id3Tag(out.file(first)).substr(3, 90),
              field("Caf\xe9 Ol\xe9") + field("Orquesta Ib\xe9rica") + field("Bien Cl\xe1sico"));
}

// A legal 253-character title (ISO 8859-1, so more bytes in UTF-8) makes a
// name too long for the file system: it is cut between characters,
// keeping the range suffix, the extension and room for ".part".
TEST_F(RealWorldSheetTest, LongTitleIsShortenedToFit) {
    copyFixture("longtitle.cue");
    writeFile(dir.file("longtitle.bin"), sectorsFrom(0, 150));
    RunResult result = run(dir.file("longtitle.cue"), {"$2di - $t", "1", "0-10"});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    size_t said = 0;
    for (size_t at = 0; (at = result.output.find("Shortened", at)) != std::string::npos; ++at) ++said;
    EXPECT_EQ(said, 2u) << result.output;
    std::vector<std::string> files = wavFiles(out.path());
    ASSERT_EQ(files.size(), 2u);
    for (const std::string& name : files) {
        EXPECT_LE(name.size(), 250u);
        EXPECT_GE(name.size(), 245u);
        EXPECT_EQ(name.rfind("Ballade tr\u00e8s longue", 5), 5u) << name;
        bool range = name.starts_with("00 - ");
        EXPECT_TRUE(name.ends_with(range ? "{0-10}.wav" : ".wav")) << name;
        // The cut keeps whole characters: "è" is two bytes.
        std::string stem = name.substr(0, name.find(range ? "{" : ".wav"));
        EXPECT_NE(static_cast<unsigned char>(stem.back()) & 0xC0, 0x80u) << name;
        EXPECT_NE(static_cast<unsigned char>(stem.back()), 0xC3u) << name;
    }
    EXPECT_EQ(wavData(out.file(files[0])).size(), files[0].starts_with("00") ? 10u * kSector : 150u * kSector);
}

}  // namespace
