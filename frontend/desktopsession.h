#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps the screen saver off while PLUMA runs, through the freedesktop
// screen-saver service; without a session bus nothing happens.
class ScreenSaverInhibitor {
public:
    ScreenSaverInhibitor() = default;
    ScreenSaverInhibitor(const ScreenSaverInhibitor&) = delete;
    ScreenSaverInhibitor& operator=(const ScreenSaverInhibitor&) = delete;
    ~ScreenSaverInhibitor() { release(); }

    void inhibit();
    void release();

private:
    unsigned cookie = 0;
    bool held = false;
};

// One PLUMA per user: a lock in the user's runtime folder. Empty when another
// instance holds it.
std::unique_ptr<QLockFile> takeInstanceLock();
