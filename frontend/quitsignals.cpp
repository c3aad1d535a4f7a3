#include "frontend/quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {


// The handler may only write to a pipe; the event loop reads the other end.
volatile sig_atomic_t writeEnd = -1;

void onQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; the byte may be dropped.
    [[maybe_unused]] const ssize_t written = write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

QuitSignals::QuitSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {}

QuitSignals::~QuitSignals() {
    if (readEnd_ < 0) return;
    for (size_t i = 0; i < kSignals.size(); ++i)
        if (caught_[i]) sigaction(kSignals[i], &before_[i], nullptr);
    notifier_.reset();
    close(writeEnd);
    writeEnd = -1;
    close(readEnd_);
}

int QuitSignals::install() {
    if (readEnd_ >= 0 || writeEnd >= 0) return 1;
    int ends[2];
    // Not inherited by the engine children; never blocking the handler.
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    readEnd_ = ends[0];
    writeEnd = ends[1];
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
    struct sigaction handler {};
    handler.sa_handler = onQuitSignal;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) {
        // A signal ignored by whoever started PLUMA (nohup) stays ignored.
        if (sigaction(kSignals[i], nullptr, &before_[i]) != 0 || before_[i].sa_handler == SIG_IGN) continue;
        if (sigaction(kSignals[i], &handler, nullptr) != 0) return 1;
        caught_[i] = true;
    }
    return 0;
}

void QuitSignals::drain() {
    char bytes[16];
    while (read(readEnd_, bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
}
