// The monitor windows on an X server of the test's own, while a rip runs.

#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Xvfb on a display number it picks itself; stopped with the object.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // The number comes once the server is ready, ended by a newline that
        // the server fails on if nobody reads it.
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        if (c == '\n' && !number.empty()) name_ = ":" + number;
        close(fds[0]);
    }
    ~VirtualDisplay() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// The ids of the windows with this title, 512 x 342 at 0,0, in the output
// of xwininfo -tree.
std::vector<std::string> windowIds(const std::string& tree, const std::string& title) {
    std::vector<std::string> ids;
    std::istringstream lines(tree);
    for (std::string line; std::getline(lines, line);) {
        if (line.find('"' + title + '"') == std::string::npos) continue;
        if (line.find(" 512x342+0+0 ") == std::string::npos) continue;
        std::istringstream words(line);
        std::string id;
        words >> id;
        ids.push_back(id);
    }
    return ids;
}

// Two tracks: each job has windows of its own, gone when the job ends.
TEST(MonitorWindows, EachJobShowsBothWindowsWhileItRunsAndRemovesThemAfter) {
    VirtualDisplay display;
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    const auto tree = [&] { return runProgram({"/usr/bin/xwininfo", "-root", "-tree", "-display", display.name()}); };
    const RunResult first = tree();
    ASSERT_EQ(first.exitCode, 0) << display.name() << ": " << first.output;

    TempDir dir;
    // Tracks of four seconds each, so a loaded machine still sees every window.
    DiscImage image(dir.path(), audioDisc({300, 300}));
    RunOptions run;
    run.cwd = dir.path();
    run.env = {{"VOLTA_IMAGES", image.imagesEntry("speed=1")}, {"DISPLAY", display.name()},
               {"SDL_VIDEODRIVER", ""}, {"WAYLAND_DISPLAY", ""},
               {"LSAN_OPTIONS", "suppressions=" VOLTA_LSAN_SUPPRESSIONS}};
    std::atomic<bool> done = false;
    RunResult result;
    std::thread rip([&] {
        result = runVolta({"/oc", "/os", "w", "1:2"}, run);
        done = true;
    });
    std::set<std::string> scopes;
    std::set<std::string> spectra;
    while (!done) {
        const std::string windows = tree().output;
        const std::vector<std::string> scope = windowIds(windows, "VOLTA: Scopes");
        const std::vector<std::string> spectrum = windowIds(windows, "VOLTA: Spectrum Analyzer");
        EXPECT_LE(scope.size(), 1u);
        EXPECT_LE(spectrum.size(), 1u);
        scopes.insert(scope.begin(), scope.end());
        spectra.insert(spectrum.begin(), spectrum.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    rip.join();
    ASSERT_EQ(result.exitCode, 0) << result.output;
    // New windows for the second job, and never two of a kind at a time.
    EXPECT_GE(scopes.size(), 2u);
    EXPECT_GE(spectra.size(), 2u);
    EXPECT_EQ(result.output.find("Could Not Open Monitor Window"), std::string::npos) << result.output;
    const std::string after = tree().output;
    EXPECT_EQ(after.find("VOLTA:"), std::string::npos) << after;
}

}  // namespace
