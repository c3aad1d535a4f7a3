#pragma once

#include <array>
#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that
// a session that logs out or a `kill` closes PLUMA as its Quit item does
// instead of ending it on the spot. One at a time per process; its end
// gives the signals back what they did before.
class QuitSignals {
public:
    explicit QuitSignals(std::function<void()> onSignal);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // 0 when the signals are caught.
    int install();

private:
    void drain();

    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

    std::function<void()> onSignal_;
    std::array<bool, kSignals.size()> caught_{};
    std::array<struct sigaction, kSignals.size()> before_{};
    int readEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};
