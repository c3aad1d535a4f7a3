#include "tests/cddb/cddbtestserver.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Names from a disc, a server or the cache that try to climb out of the
// output folder or to name an absolute path. The runs work three folders
// deep inside the test's own folder, so a name that escapes still lands
// inside it and is seen by the check.
class HostileNamesTest : public testing::Test {
protected:
    void SetUp() override {
        out = dir.file("a/b/out");
        fs::create_directories(out);
        fs::create_directories(dir.file("image"));
    }

    RunResult rip(const DiscImage& image, const std::vector<std::string>& args) {
        RunOptions run;
        run.cwd = out;
        run.env = {{"VOLTA_IMAGES", image.imagesEntry()}};
        return runVolta(args, run);
    }

    // An absolute path to a folder of the test, written as a template would.
    std::string absoluteName(const std::string& leaf) const {
        std::string name = dir.path() + "/" + leaf;
        for (char& c : name)
            if (c == '/') c = '\\';
        return name;
    }

    static std::string dashed(std::string name) {
        for (char& c : name)
            if (c == '\\') c = '-';
        return name;
    }

    // Every sound file written anywhere under the test's folder, relative
    // to the output folder.
    std::set<std::string> writtenFiles() const {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.is_regular_file() && entry.path().extension() == ".wav")
                files.insert(fs::relative(entry.path(), out).generic_string());
        return files;
    }

    TempDir dir;
    std::string out;
};

TEST_F(HostileNamesTest, NamesNeverNameFolders) {
    DiscSpec spec = audioDisc({75, 75, 75});
    spec.performer = "..";
    spec.title = ".";
    spec.tracks[0].title = "..\\..\\x";
    spec.tracks[1].title = absoluteName("abs");
    spec.tracks[2].title = "../y";
    DiscImage disc(dir.file("image"), spec);

    // The template's own folders stay folders; the names' levels do not
    // climb, names of nothing but dots are the defaults, and no name makes a
    // file or a folder begin with a dot.
    fs::create_directories(out + "/Unknown/Disc");
    RunResult result = rip(disc, {"$a\\$d\\$t", "1:3"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::set<std::string> expected = {"Unknown/Disc/-..-x.wav",
                                      "Unknown/Disc/" + dashed(absoluteName("abs")) + ".wav", "Unknown/Disc/-y.wav"};
    EXPECT_EQ(writtenFiles(), expected) << result.output;
}

TEST_F(HostileNamesTest, ServerAndCacheNamesNeverNameFolders) {
    DiscImage disc(dir.file("image"), audioDisc({75, 75}));
    CddbScript script;
    script.queryAnswer = "200 rock 12345678 x\r\n";
    script.readAnswer = "210 rock 12345678 entry follows\r\nDTITLE=..\\..\\up / " + absoluteName("abs") +
                        "\r\nTTITLE0=..\\..\\x\r\nTTITLE1=..\r\n.\r\n";
    std::string cddbSwitch;
    {
        CddbTestServer server(script);
        cddbSwitch = server.cddbSwitch();
        fs::create_directories(out + "/-..-up");
        RunResult result = rip(disc, {cddbSwitch, "/2cddb.cache", "$a\\$t $d", "1:2"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        std::string title = dashed(absoluteName("abs"));
        // A title of dots says nothing: the track is named as without one.
        std::set<std::string> expected = {"-..-up/-..-x " + title + ".wav", "-..-up/Track " + title + "02.wav"};
        EXPECT_EQ(writtenFiles(), expected) << result.output;
    }

    // The entry the run cached, given names of the cache's own; the server
    // is gone, so only the cache can name the disc.
    std::string cache = readFile(out + "/cddb.cache");
    std::string key = cache.substr(0, cache.find('\n'));
    fs::remove_all(out);
    fs::create_directories(out + "/Unknown");
    writeFile(out + "/cddb.cache", key + "\n\\..\\..\\c\n..\n1 2\n..\\c1\n\n");
    RunResult result = rip(disc, {cddbSwitch, "/2cddb.cache", "$a\\$t $d", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("Entry Found In Local Cache"), std::string::npos) << result.output;
    std::set<std::string> expected = {"Unknown/-c1 -..-..-c.wav", "Unknown/Track -..-..-c02.wav"};
    EXPECT_EQ(writtenFiles(), expected) << result.output;
}

}  // namespace
