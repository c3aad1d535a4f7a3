#include "engine/output/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The file is emptied only once it is known to be a regular one, and only
// when it holds anything: ext4 takes a truncated file for one being
// replaced and writes all of it out when it is closed.
std::FILE* openRegularForWriting(const char* path) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || (info.st_size > 0 && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) ::close(fd);
    return file;
}
