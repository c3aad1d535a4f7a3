#include "frontend/cdromcontrol.h"

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <initializer_list>

namespace {

void sendToDefaultDevice(unsigned long request) {
    for (const char* path : {"/dev/cdrom", "/dev/sr0"}) {
        // Without a disc the device opens only in non-blocking mode.
        const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        ::ioctl(fd, request, 0);
        ::close(fd);
        return;
    }
}

}  // namespace

namespace CdromControl {

void stopAudio() { sendToDefaultDevice(CDROMSTOP); }

void closeTray() { sendToDefaultDevice(CDROMCLOSETRAY); }

}  // namespace CdromControl
