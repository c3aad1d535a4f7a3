#include "engine/common/filewrites.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int writeAll(int fd, const char* data, std::size_t bytes) {
    std::size_t done = 0;
    while (done < bytes) {
        ssize_t written = ::write(fd, data + done, bytes - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return 1;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}
