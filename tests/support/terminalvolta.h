#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

// build/bin/volta on a pseudo-terminal of its own, as a user at a terminal
// runs it: keys typed into the terminal, the screen read back. The
// environment is prepared as runVolta prepares it.
class TerminalVolta {
public:
    TerminalVolta(const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& env, const std::string& cwd);
    // Kills the program if it is still running.
    ~TerminalVolta();
    TerminalVolta(const TerminalVolta&) = delete;
    TerminalVolta& operator=(const TerminalVolta&) = delete;

    void type(const std::string& keys);
    // Reads the screen until `text` appears on it (true) or `seconds` pass.
    bool waitFor(const std::string& text, int seconds);
    // Reads the screen for `milliseconds`, then says whether the program runs.
    bool runsAfter(int milliseconds);
    // Everything the program has written so far.
    const std::string& screen() const { return screen_; }
    // The exit code once the program has ended (within `seconds`, else it is
    // killed), -1 when it did not exit normally.
    int wait(int seconds);

private:
    void readFor(int milliseconds);
    // True once the program has ended; its exit code is then kept.
    bool reaped();

    int master_ = -1;
    pid_t pid_ = -1;
    int exitCode_ = -1;
    std::string screen_;
};
