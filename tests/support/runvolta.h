#pragma once

#include <string>
#include <utility>
#include <vector>

// A scratch directory under the system temp dir, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct RunResult {
    int exitCode = -1;   // -1 when the process did not exit normally
    std::string output;  // standard output and standard error, interleaved
};

struct RunOptions {
    std::string input;                                        // fed to standard input, then EOF
    std::vector<std::pair<std::string, std::string>> env;     // set (empty value: unset) on top of ours
    std::string cwd;                                          // working directory; empty: inherit
    int timeoutSeconds = 60;                                  // killed after this, exit -1
};

// Runs build/bin/volta with `args`. VOLTA and VOLTA_IMAGES are unset and
// the machine's drives are out of reach (keepOffRealDrives) unless
// `opts.env` says otherwise, so the caller's environment never leaks in.
RunResult runVolta(const std::vector<std::string>& args, const RunOptions& opts = {});

// Runs volta in `cwd` on the virtual drives of `images`.
RunResult runVoltaOn(const std::string& images, const std::vector<std::string>& args, const std::string& cwd);

// Runs any program the same way (argument 0 is the program path).
RunResult runProgram(const std::vector<std::string>& argv, const RunOptions& opts = {});

// Sets this process's environment so that the volta it starts sees only
// virtual drives, whatever drives the machine has.
void keepOffRealDrives();

std::string voltaBinary();
std::string demoDir();  // where the build writes the demo disc image
std::string testData(const std::string& name);  // a fixture under tests/data

// The three banner lines every run starts with.
std::string bannerText();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& data);
