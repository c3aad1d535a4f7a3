#pragma once

#include <QString>

#include <span>

// The bit-rate items of the "Taux de compression" menu.
struct BitRateItem {
    const char* itemName;  // menu item object name
    int kbps;
    const char* sizeFactor;  // KiB per second of audio, as the progress display reads it
    bool allowedForWma;
};

std::span<const BitRateItem> bitRateItems();

// The item for `kbps`, or nullptr.
const BitRateItem* bitRateItem(int kbps);

// The bit rate a stored value stands for: 128 when it is not in the menu.
int storedBitRate(const QString& value);
