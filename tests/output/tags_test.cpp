// The tags /i writes, end to end: names from a CDDB server of the test,
// read back from the files by metaflac, ffprobe and the bytes themselves.

#include "engine/control/textencoding.h"
#include "tests/cddb/cddbtestserver.h"
#include "tests/support/decodedaudio.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kTrackSectors = 75;  // 1 second

// A title of 100 characters that ISO 8859-1 cannot hold, 300 bytes of UTF-8.
std::string longJapaneseTitle() {
    std::string title;
    for (int i = 0; i < 10; ++i) title += "\u591c\u660e\u3051\u306e\u6b4c\u3068\u6d77\u8fba\u306e\u98a8";
    return title;
}

const std::string kArtist = "\u5c71\u7530\u82b1\u5b50";  // four characters
const std::string kAlbum = "Nocturnes \u00e0 la mer";

CddbScript entry(const std::vector<std::string>& lines) {
    CddbScript script;
    script.queryAnswer = "200 misc 0a0b0c02 A / B\r\n";
    script.readAnswer = "210 misc 0a0b0c02 CD database entry follows\r\n";
    for (const std::string& line : lines) script.readAnswer += line + "\r\n";
    script.readAnswer += ".\r\n";
    return script;
}

// The frames of an ID3v2.4 tag at the start of `bytes`, each as often as
// it stands there: identifier to content (for TXXX, "TXXX:" and the
// description), text without the encoding byte. `size` receives the whole
// tag's size.
using Frames = std::multimap<std::string, std::string>;
Frames id3v2Frames(const std::string& bytes, size_t& size, int& version) {
    auto synchsafe = [&](size_t at) {
        size_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 7 | (static_cast<uint8_t>(bytes[at + i]) & 0x7F);
        return value;
    };
    Frames frames;
    size = 0;
    version = 0;
    if (bytes.size() < 10 || bytes.compare(0, 3, "ID3") != 0) return frames;
    version = bytes[3];
    size = 10 + synchsafe(6);
    for (size_t at = 10; at + 10 <= size && bytes[at] != '\0';) {
        const std::string id = bytes.substr(at, 4);
        const size_t length = synchsafe(at + 4);
        std::string body = bytes.substr(at + 10, length);
        EXPECT_EQ(body[0], 3) << id << " is not in UTF-8";
        body.erase(0, 1);
        if (id == "TXXX") {
            const size_t end = body.find('\0');
            frames.emplace("TXXX:" + body.substr(0, end), body.substr(end + 1));
        } else {
            frames.emplace(id, body);
        }
        at += 10 + length;
    }
    return frames;
}

// The ID3v1 tag the design appends: ISO 8859-1, so every other character
// of the names becomes "?", each field cut to 29 bytes, genre 17.
std::string designId3v1(const std::string& title, const std::string& artist, const std::string& album) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    auto field = [&](size_t at, const std::string& text) {
        const std::string latin1 = toLatin1(text);
        tag.replace(at, std::min<size_t>(latin1.size(), 29), latin1.substr(0, 29));
    };
    field(3, title);
    field(33, artist);
    field(63, album);
    tag[127] = 17;
    return tag;
}

// "KEY=value" lines, keys in upper case.
std::map<std::string, std::string> keyValues(const std::string& text, const std::string& prefix = "") {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(prefix.size(), equals - prefix.size());
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        values[key] = line.substr(equals + 1);
    }
    return values;
}

std::map<std::string, std::string> flacComments(const std::string& path) {
    return keyValues(runProgram({toolPath("metaflac"), "--export-tags-to=-", path}).output);
}

std::map<std::string, std::string> probedTags(const std::string& path) {
    return keyValues(runProgram({toolPath("ffprobe"), "-v", "error", "-show_entries", "format_tags:stream_tags", "-of",
                                 "default=noprint_wrappers=1", path})
                         .output,
                     "TAG:");
}

class RichTagsTest : public testing::Test {
protected:
    RichTagsTest() : disc(dir.path(), audioDisc({kTrackSectors, kTrackSectors})) {}

    RunResult run(const CddbScript& script, std::vector<std::string> args) {
        CddbTestServer server(script);
        args.insert(args.begin(), server.cddbSwitch());
        RunOptions options;
        options.cwd = dir.path();
        options.env = {{"VOLTA_IMAGES", disc.imagesEntry()}};
        RunResult result = runVolta(args, options);
        for (const std::string& line : server.received())
            if (line.rfind("cddb query ", 0) == 0) discId = line.substr(11, 8);
        return result;
    }

    TempDir dir;
    DiscImage disc;
    std::string discId;
};

TEST_F(RichTagsTest, EveryFormatHoldsTheWholeNames) {
    const std::string title = longJapaneseTitle();
    const CddbScript script = entry({"DTITLE=" + kArtist + " / " + kAlbum, "DYEAR=1998", "DGENRE=J-Pop",
                                     "TTITLE0=" + title, "TTITLE1=Second"});

    // MP3: the ID3v2.4 tag in front of exactly the file an untagged rip
    // gives, and behind it the ID3v1 tag as the design writes it.
    RunResult result = run(script, {"/eb", "plain$2di", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    result = run(script, {"/eb", "/i", "$2di", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    ASSERT_EQ(discId.size(), 8u);
    const std::string mp3 = readFile(dir.file("01.mp3"));
    size_t size = 0;
    int version = 0;
    const Frames frames = id3v2Frames(mp3, size, version);
    EXPECT_EQ(version, 4);
    EXPECT_EQ(frames, (Frames{{"TIT2", title},
                              {"TPE1", kArtist},
                              {"TALB", kAlbum},
                              {"TRCK", "1/2"},
                              {"TDRC", "1998"},
                              {"TCON", "J-Pop"},
                              {"TXXX:CDDB DiscID", discId}}));
    ASSERT_GT(mp3.size(), size + 128);
    EXPECT_EQ(mp3.substr(size), readFile(dir.file("plain01.mp3")) + designId3v1(title, kArtist, kAlbum));
    EXPECT_EQ(probedTags(dir.file("01.mp3"))["TITLE"], title);

    // FLAC: Vorbis comments, the audio still whole, no ID3v1 tag.
    result = run(script, {"/ec", "/i", "$2di", "1:2"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    result = run(script, {"wav$2di", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::string flac = dir.file("01.flac");
    EXPECT_EQ(runProgram({toolPath("flac"), "-t", "-s", flac}).exitCode, 0);
    EXPECT_EQ(flacSamples(flac), wavData(dir.file("wav01.wav")));
    const std::map<std::string, std::string> comments = {
        {"TITLE", title},      {"ARTIST", kArtist}, {"ALBUM", kAlbum},    {"TRACKNUMBER", "1"},
        {"TRACKTOTAL", "2"},   {"DATE", "1998"},    {"GENRE", "J-Pop"},   {"CDDB_DISCID", discId}};
    EXPECT_EQ(flacComments(flac), comments);
    EXPECT_EQ(flacComments(dir.file("02.flac"))["TITLE"], "Second");
    EXPECT_NE(readFile(flac).substr(fs::file_size(flac) - 128, 3), "TAG");

    // Opus: the same comments in the comment header, the stream still whole.
    result = run(script, {"/eo", "/i", "$2di", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    std::map<std::string, std::string> opus = probedTags(dir.file("01.opus"));
    // ffprobe gives TRACKNUMBER its own name.
    opus["TRACKNUMBER"] = opus["TRACK"];
    opus.erase("TRACK");
    EXPECT_EQ(opus, comments);
    EXPECT_NEAR(static_cast<double>(decode(dir.file("01.opus"), 2).size()), 2.0 * kTrackSectors * 588, 2 * 882);

    // WMA: the content description and the extended attributes, then the
    // ID3v1 tag as before.
    result = run(script, {"/ew", "/i", "$2di", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::map<std::string, std::string> wma = probedTags(dir.file("01.wma"));
    EXPECT_EQ(wma.at("TITLE"), title);
    EXPECT_EQ(wma.at("ARTIST"), kArtist);
    EXPECT_EQ(wma.at("ALBUM"), kAlbum);
    EXPECT_EQ(wma.at("TRACK"), "1");
    EXPECT_EQ(wma.at("GENRE"), "J-Pop");
    const std::string wmaBytes = readFile(dir.file("01.wma"));
    EXPECT_EQ(wmaBytes.substr(wmaBytes.size() - 128), designId3v1(title, kArtist, kAlbum));
}

// An encoder program that tags its files itself: the file keeps one tag,
// whose frames say what the disc says.
TEST_F(RichTagsTest, AnEncoderProgramsOwnTagIsReplacedNotDoubled) {
    ASSERT_EQ(run(entry({"DTITLE=Old / Names", "DYEAR=1970", "TTITLE0=Old"}), {"/eb", "/i", "old$2di", "1"}).exitCode,
              0);
    writeFile(dir.file("x3enc.exe"), "#!/bin/sh\ncp old01.mp3 \"$2\"\n");
    fs::permissions(dir.file("x3enc.exe"), fs::perms::owner_all);
    const RunResult result = run(entry({"DTITLE=New / Names", "TTITLE0=New"}), {"/ex", "/i", "new$2di", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    size_t size = 0;
    int version = 0;
    const Frames frames = id3v2Frames(readFile(dir.file("new01.mp3")), size, version);
    for (const char* id : {"TIT2", "TPE1", "TALB", "TRCK", "TXXX:CDDB DiscID"}) EXPECT_EQ(frames.count(id), 1u) << id;
    EXPECT_EQ(frames.find("TIT2")->second, "New");
    EXPECT_EQ(frames.find("TALB")->second, "Names");
    // What the disc does not say stays as the program wrote it.
    EXPECT_EQ(frames.find("TDRC")->second, "1970");
}

// Control characters, a NUL, bytes that are no UTF-8 and a name of a
// thousand characters from a hostile server: the tags hold valid UTF-8
// without control characters, and the run ends normally.
TEST_F(RichTagsTest, HostileNamesGiveValidTags) {
    const std::string thousand(1000, 'n');
    CddbScript script = entry({"DTITLE=Bad\x01\x1b[2J / Album\xff\xfe\xc3", "DGENRE=" + thousand,
                               "TTITLE0=Nul" + std::string(1, '\0') + "After\x7f\xe3\x81", "TTITLE1=" + thousand});
    for (const std::string encoder : {"/ec", "/eb"}) {
        SCOPED_TRACE(encoder);
        const RunResult result = run(script, {encoder, "/i", "hostile$2di", "1:2"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    for (const std::string track : {"01", "02"}) {
        for (const auto& [key, value] : flacComments(dir.file("hostile" + track + ".flac"))) {
            SCOPED_TRACE(key);
            EXPECT_TRUE(isValidUtf8(value)) << value;
            for (char c : value) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << value;
            EXPECT_LE(utf8Length(value), 255u);
        }
        size_t size = 0;
        int version = 0;
        for (const auto& [id, value] : id3v2Frames(readFile(dir.file("hostile" + track + ".mp3")), size, version)) {
            SCOPED_TRACE(id);
            EXPECT_TRUE(isValidUtf8(value)) << value;
        }
    }
    EXPECT_EQ(flacComments(dir.file("hostile02.flac"))["TITLE"], std::string(255, 'n'));
}

}  // namespace
