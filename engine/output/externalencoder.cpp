#include "engine/output/externalencoder.h"

#include "engine/control/options.h"
#include "engine/output/partialfile.h"
#include "engine/pipeline/stagechain.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

std::vector<std::string> encoderCommandLine(EncoderKind encoder, const char* waveName,
                                            const char* mp3Name) {
    std::vector<std::string> arguments = {encoderInfo(encoder).program, waveName, mp3Name};
    if (encoder == EncoderKind::X3encVbr) {
        arguments.push_back("-v");
        arguments.push_back(std::to_string(options.bitrate / 1000));
    } else {
        arguments.push_back("-b");
        arguments.push_back(std::to_string(options.bitrate));
    }
    if (encoder != EncoderKind::L3enc && options.encoderExtraArgument != nullptr)
        arguments.push_back(options.encoderExtraArgument);
    return arguments;
}

namespace {

// The encoder program while it runs, for the signal handler.
volatile sig_atomic_t runningEncoder = 0;

// Between fork and exec only async-signal-safe calls are allowed, so
// everything is prepared before.
struct ChildLaunch {
    std::string path;
    std::vector<char*> argv;
};

[[noreturn]] void execChild(const ChildLaunch& launch, int reportFd) {
    // Keys typed at the console are ours (ESC), not the encoder's.
    int input = ::open("/dev/null", O_RDONLY);
    if (input >= 0) {
        ::dup2(input, STDIN_FILENO);
        ::close(input);
    }
    ::execv(launch.path.c_str(), launch.argv.data());
    int error = errno;
    ssize_t ignored = ::write(reportFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

}  // namespace

int runEncoderProgram(const std::vector<std::string>& arguments, int& waitStatus) {
    if (arguments.empty()) return 1;
    ChildLaunch launch;
    launch.path = "./" + arguments[0];
    for (const std::string& argument : arguments)
        launch.argv.push_back(const_cast<char*>(argument.c_str()));
    launch.argv.push_back(nullptr);

    // The exec failure travels back through a pipe that a successful exec
    // closes, so a program's own exit status 127 is not mistaken for it.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return 1;
    std::fflush(stdout);
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return 1;
    }
    if (child == 0) execChild(launch, report[1]);
    ::close(report[1]);
    int error = 0;
    ssize_t got;
    do got = ::read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    runningEncoder = child;
    waitStatus = 0;
    while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    runningEncoder = 0;
    return got > 0 ? 1 : 0;
}

namespace {

bool exitedCleanly(int waitStatus) { return WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0; }

void reportEncoderFailure(const char* program, bool started, int waitStatus) {
    if (!started)
        std::printf("Could Not Start Encoder %s\n", program);
    else if (WIFSIGNALED(waitStatus))
        std::printf("Encoder %s Was Ended By Signal %d\n", program, WTERMSIG(waitStatus));
    else if (!exitedCleanly(waitStatus))
        std::printf("Encoder %s Exited With Status %d\n", program, WEXITSTATUS(waitStatus));
    else
        std::printf("Encoder %s Exited With Status 0 But Wrote No File\n", program);
    std::fflush(stdout);
}

}  // namespace

int encodeToMp3(const char* name, bool whole) {
    const std::string finalName = std::string(name) + encoderInfo(options.encoder).extension;
    std::vector<std::string> arguments = encoderCommandLine(options.encoder, tempWaveName, tempMp3Name);
    int waitStatus = 0;
    const bool started = runEncoderProgram(arguments, waitStatus) == 0;
    std::remove(tempWaveName);
    const bool wrote = ::access(tempMp3Name, F_OK) == 0;
    const bool encoded = started && exitedCleanly(waitStatus) && wrote;
    int result = 1;
    if (encoded && whole) {
        // An earlier file of that name gives way only to a new one.
        result = moveToFinalName(tempMp3Name, finalName.c_str());
        if (result == 0) std::snprintf(currentOutputName, sizeof currentOutputName, "%s", finalName.c_str());
    } else {
        keepAsPartial(tempMp3Name, finalName.c_str());
    }
    if (result != 0) currentOutputName[0] = '\0';
    discardTemporaryFiles();
    if (!encoded) reportEncoderFailure(arguments[0].c_str(), started, waitStatus);
    return result;
}

// The names are forgotten once their files are gone, so that a signal
// later in the run cannot remove a file that has since taken one of them.
void discardTemporaryFiles() {
    std::remove(tempWaveName);
    std::remove(tempMp3Name);
    tempWaveName[0] = '\0';
    tempMp3Name[0] = '\0';
}

void discardTemporaryFilesOnSignal() {
    pid_t encoder = runningEncoder;
    if (encoder > 0) {
        ::kill(encoder, SIGKILL);
        ::waitpid(encoder, nullptr, 0);
    }
    if (tempWaveName[0] != '\0') ::unlink(tempWaveName);
    if (tempMp3Name[0] != '\0') ::unlink(tempMp3Name);
}
