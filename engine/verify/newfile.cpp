#include "engine/verify/newfile.h"

#include "engine/common/filewrites.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Without hard links (some removable media), a rename that finds the
// name free is the next best.
int publish(const std::string& temporary, const std::string& path) {
    if (::link(temporary.c_str(), path.c_str()) == 0) return 0;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return 1;
    if (pathExists(path)) {
        errno = EEXIST;
        return 1;
    }
    return ::rename(temporary.c_str(), path.c_str());
}

}  // namespace

int writeNewFile(const std::string& path, const std::string& text, std::string& reason) {
    std::string temporary = folderOf(path) + "VLTXXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return 1;
    }
    // The file's mode follows the umask, as that of every other output.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    int failed = writeAll(fd, text.data(), text.size());
    if (::close(fd) != 0 && failed == 0) failed = 1;
    if (failed == 0) failed = publish(temporary, path);
    if (failed != 0) reason = std::strerror(errno);
    ::unlink(temporary.c_str());
    return failed;
}
