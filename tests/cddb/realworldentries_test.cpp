// Database entries as servers send them (fixtures in tests/data/cddb):
// continuation lines and ISO 8859-1 names, through a lookup, the files,
// their tags and the cache.

#include "tests/cddb/cddbtestserver.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kQuery = "cddb query 11000903 3 150 450 675 11";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string field(const std::string& text) {
    std::string padded = text.substr(0, 29);
    padded.resize(30, '\0');
    return padded;
}

// The 128-byte tag's title, artist and album fields.
std::string tagFields(const std::string& path) {
    std::string file = readFile(path);
    return file.size() < 128 ? "" : file.substr(file.size() - 125, 90);
}

class RealWorldEntryTest : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string>& args) const {
        RunOptions opts;
        opts.env = {{"VOLTA_IMAGES", imagesValue({image.imagesEntry()})}};
        opts.cwd = dir.path();
        return runVolta(args, opts);
    }
    static CddbScript serving(const std::string& fixture) {
        CddbScript script;
        script.queryAnswer = "200 misc 11000903 Some / Disc\r\n";
        script.readAnswer = "210 misc 11000903 CD database entry follows (until terminating `.')\r\n" +
                            readFile(testData("cddb/" + fixture)) + ".\r\n";
        return script;
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir.file(name)); }

    TempDir dir;
    DiscImage image{dir.path(), audioDisc({300, 225, 150})};
};

TEST_F(RealWorldEntryTest, ContinuationLinesAreJoined) {
    CddbTestServer server(serving("continued.xmcd"));
    RunResult result = run({server.cddbSwitch(), "/2cache", "/l", "/i", "$t", "@"});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    const std::string artist = "The Remarkably Long-Named Ensemble of Distant Harbours";
    const std::string title = "Songs Written Across Two Lines";
    const std::string first = "A Title So Long That The Database Split It In Two";
    EXPECT_TRUE(contains(result.output, "Table Of Contents (" + artist + " - " + title + "):"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "Without  " + first + "\n"));
    EXPECT_TRUE(exists(first + ".wav"));
    EXPECT_TRUE(exists("Short One.wav"));
    EXPECT_TRUE(exists("Begins Empty.wav"));
    EXPECT_EQ(tagFields(dir.file(first + ".wav")), field(first) + field(artist) + field(title));
    EXPECT_EQ(readFile(dir.file("cache")), std::string(kQuery) + "\n" + title + "\n" + artist + "\n1 3\n" +
                                               first + "\nShort One\nBegins Empty\n");
}

// ISO 8859-1 names: UTF-8 on the console and in file names, ISO 8859-1 in
// the tags and the cache, and the same again when read from the cache.
TEST_F(RealWorldEntryTest, Latin1NamesBecomeUtf8WhereShown) {
    const std::string cached = std::string(kQuery) +
                               "\nBien Cl\xe1sico\nOrquesta Ib\xe9rica\n1 3\n"
                               "Caf\xe9 Ol\xe9\nNi\xf1o Peque\xf1o\n\xdc" "ber die Stra\xdf" "e\n";
    const std::vector<std::string> files = {"Orquesta Ib\u00e9rica - Caf\u00e9 Ol\u00e9.wav",
                                            "Orquesta Ib\u00e9rica - Ni\u00f1o Peque\u00f1o.wav",
                                            "Orquesta Ib\u00e9rica - \u00dcber die Stra\u00dfe.wav"};
    CddbTestServer server(serving("latin1.xmcd"));
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "from the server" : "from the cache");
        for (const std::string& file : files) std::filesystem::remove(dir.file(file));
        RunResult result = run({server.cddbSwitch(), "/2cache", "/l", "/i", "$a - $t", "@"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(server.connections(), 1);
        EXPECT_TRUE(contains(result.output, "Table Of Contents (Orquesta Ib\u00e9rica - Bien Cl\u00e1sico):"))
            << result.output;
        EXPECT_TRUE(contains(result.output, "Without  \u00dcber die Stra\u00dfe\n"));
        for (const std::string& file : files) EXPECT_TRUE(exists(file)) << file;
        EXPECT_EQ(tagFields(dir.file(files[0])),
                  field("Caf\xe9 Ol\xe9") + field("Orquesta Ib\xe9rica") + field("Bien Cl\xe1sico"));
        EXPECT_EQ(readFile(dir.file("cache")), cached);
    }
}

}  // namespace
