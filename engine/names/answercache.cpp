#include "engine/names/answercache.h"

#include "engine/common/filewrites.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

std::string answerCacheFolder(const char* service) {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string root;
    if (cache && cache[0] == '/') {
        root = cache;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return "";
        root = std::string(home) + "/.cache";
    }
    return root + "/volta/" + service;
}

int readCachedAnswer(const std::string& path, std::size_t maxBytes, std::string& text) {
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? 1 : 2;
    struct stat status {};
    int result = 0;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || static_cast<std::size_t>(status.st_size) > maxBytes) {
        result = 2;
    } else {
        text.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t got = ::read(fd, text.data() + done, text.size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<std::size_t>(got);
        }
        if (done != text.size()) result = 2;
    }
    ::close(fd);
    if (result != 0) text.clear();
    return result;
}

int storeCachedAnswer(const std::string& folder, const std::string& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return 1;
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) return 1;
    bool complete = writeAll(fd, text.data(), text.size()) == 0;
    if (::close(fd) != 0) complete = false;
    if (!complete || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return 1;
    }
    return 0;
}
