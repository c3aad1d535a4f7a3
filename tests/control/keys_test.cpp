// Keys at a terminal: only ESC on its own ends a rip or the CD player; the
// keys that send sequences beginning with ESC (arrows, function keys, Alt
// with a letter) are swallowed like any other key.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <unistd.h>

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/terminalvolta.h"
#include "tests/support/wavfile.h"

namespace {

// As xterm and the Linux console send them.
const char* const kSequenceKeys[] = {
    "\x1b[A",    // Up
    "\x1b[D",    // Left
    "\x1b[C",    // Right
    "\x1bOP",    // F1 (xterm)
    "\x1b[[A",   // F1 (Linux console)
    "\x1b[15~",  // F5
    "\x1b[1;5C", // Ctrl+Right
    "\x1bx",     // Alt+x
    "\x1b\x1b[A" // Alt+Up (rxvt)
};

class TerminalKeysTest : public testing::Test {
protected:
    // Every key alone, apart enough that none is taken for the rest of
    // another.
    void typeSequenceKeys(TerminalVolta& volta) {
        for (const char* key : kSequenceKeys) {
            volta.type(key);
            usleep(120 * 1000);
        }
    }

    TempDir dir;
};

const std::string kBarStart = "[" + std::string(40, ' ') + "]\r[";

TEST_F(TerminalKeysTest, OnlyEscapeEndsARip) {
    DiscImage image(dir.path(), audioDisc({2250}));
    std::string slowDrive = image.imagesEntry("speed=10");
    {
        TerminalVolta volta({"/mn", "keys", "1"}, {{"VOLTA_IMAGES", slowDrive}}, dir.path());
        ASSERT_TRUE(volta.waitFor(kBarStart, 20)) << volta.screen();
        typeSequenceKeys(volta);
        EXPECT_EQ(volta.wait(30), 0) << volta.screen();
        EXPECT_EQ(volta.screen().find("Extraction Returned Error State"), std::string::npos);
        EXPECT_EQ(wavData(dir.file("keys01.wav")), image.sectors(0, 2250));
    }
    {
        TerminalVolta volta({"/mn", "esc", "1"}, {{"VOLTA_IMAGES", slowDrive}}, dir.path());
        ASSERT_TRUE(volta.waitFor(kBarStart, 20)) << volta.screen();
        volta.type("\x1b");
        EXPECT_EQ(volta.wait(10), 7) << volta.screen();
        EXPECT_NE(volta.screen().find("Extraction Returned Error State"), std::string::npos);
    }
}

// The track of the last status line on the screen.
int shownTrack(const std::string& screen) {
    static const std::regex status(R"([\r\n] *(\d+) +\d+  \d\d:\d\d\.\d\d  )");
    int track = 0;
    for (std::sregex_iterator it(screen.begin(), screen.end(), status), end; it != end; ++it)
        track = std::stoi((*it)[1]);
    return track;
}

// "[" and "]" change the track, so a sequence that leaked its "[" would
// show.
TEST_F(TerminalKeysTest, OnlyEscapeEndsThePlayer) {
    DiscImage image(dir.path(), audioDisc({750, 750, 750}));
    TerminalVolta volta({"/q"}, {{"VOLTA_IMAGES", image.imagesEntry()}}, dir.path());
    ASSERT_TRUE(volta.waitFor("Status\r\n", 20)) << volta.screen();
    volta.type("]");
    ASSERT_TRUE(volta.runsAfter(500));
    ASSERT_EQ(shownTrack(volta.screen()), 2) << volta.screen();
    typeSequenceKeys(volta);
    EXPECT_TRUE(volta.runsAfter(500)) << volta.screen();
    EXPECT_EQ(shownTrack(volta.screen()), 2);
    volta.type("\x1b");
    EXPECT_EQ(volta.wait(10), 0) << volta.screen();
}

}  // namespace
