// The /q player driven by keys on standard input.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace {

const char kEscape = 27;

const std::string kKeys =
    "CD Player Mode\n"
    "\n"
    "Keys:\n"
    "     '['  Previous Track\n"
    "     ']'  Next Track\n"
    "     'p'  Pause/Resume\n"
    "     ESC  Exit\n"
    "\n"
    "Track Index Track MSF  Disc MSF   Track                            Status\n"
    "----------------------------------------------------------------------------\n";

struct Status {
    int track = 0;
    int index = 0;
    std::string name;
    std::string state;
};

class CdPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        DiscSpec spec = audioDisc({750, 750, 750});
        spec.tracks[0].title = "First Track";
        spec.tracks[1].title = "A title that is much longer than the column";
        spec.tracks[2].title = "Third";
        image = std::make_unique<DiscImage>(dir.path(), spec);
    }

    RunResult play(const std::string& keys, const std::string& images = "") {
        RunOptions options;
        options.env = {{"VOLTA_IMAGES", images.empty() ? image->imagesEntry() : images}};
        options.input = keys;
        options.timeoutSeconds = 20;
        return runVolta({"/q"}, options);
    }

    // Every status line of the run, each checked against the line format.
    static std::vector<Status> statuses(const std::string& output) {
        static const std::regex line(
            R"((?:^|\r|\n)([ \d]{5}) ([ \d]{5})  \d\d:\d\d\.\d\d  \d\d:\d\d\.\d\d   (.{32}) (Playing|Paused|Stopped)    (?=\r))");
        std::vector<Status> found;
        for (std::sregex_iterator it(output.begin(), output.end(), line), end; it != end; ++it) {
            std::string name = (*it)[3];
            name.erase(name.find_last_not_of(' ') + 1);
            found.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), name, (*it)[4]});
        }
        return found;
    }

    TempDir dir;
    std::unique_ptr<DiscImage> image;
};

TEST_F(CdPlayerTest, ShowsTheKeysAndPlaysFromTheFirstTrack) {
    RunResult r = play(std::string(1, kEscape));
    EXPECT_EQ(r.exitCode, 0);
    size_t keys = r.output.find(kKeys);
    ASSERT_NE(keys, std::string::npos);
    std::vector<Status> seen = statuses(r.output.substr(keys + kKeys.size()));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].track, 1);
    EXPECT_EQ(seen[0].index, 1);
    EXPECT_EQ(seen[0].name, "First Track");
    EXPECT_EQ(seen[0].state, "Playing");
}

TEST_F(CdPlayerTest, PauseAndResume) {
    RunResult r = play(std::string("pp") + kEscape);
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> states;
    for (const Status& s : statuses(r.output))
        if (states.empty() || states.back() != s.state) states.push_back(s.state);
    EXPECT_EQ(states, (std::vector<std::string>{"Playing", "Paused", "Playing"}));
}

TEST_F(CdPlayerTest, NextAndPreviousTrackStopAtTheEnds) {
    RunResult r = play(std::string("[]]]][") + kEscape);
    EXPECT_EQ(r.exitCode, 0);
    std::vector<int> tracks;
    for (const Status& s : statuses(r.output))
        if (tracks.empty() || tracks.back() != s.track) tracks.push_back(s.track);
    EXPECT_EQ(tracks, (std::vector<int>{1, 2, 3, 2}));
}

TEST_F(CdPlayerTest, LongNamesAreCutTo32Characters) {
    RunResult r = play(std::string("]") + kEscape);
    bool shown = false;
    for (const Status& s : statuses(r.output))
        if (s.track == 2) shown = s.name == "A title that is much longer than";
    EXPECT_TRUE(shown) << r.output;
}

TEST_F(CdPlayerTest, MixedModeDiscPlaysFromItsFirstAudioTrack) {
    DiscSpec spec = audioDisc({300, 750});
    spec.name = "mixed";
    spec.tracks[0].data = true;
    DiscImage mixed(dir.path(), spec);
    RunResult r = play(std::string(1, kEscape), mixed.imagesEntry());
    std::vector<Status> seen = statuses(r.output);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].track, 2);
    EXPECT_EQ(seen[0].state, "Playing");
}

}  // namespace
