#include "frontend/bitrates.h"

#include <array>

namespace {

// The size factors are the measured ones, not in bit-rate order.
constexpr std::array<BitRateItem, 9> items{{
    {"Comp320", 320, "38", false},
    {"Comp256", 256, "30", false},
    {"Comp224", 224, "22", false},
    {"Comp192", 192, "26", false},
    {"Comp160", 160, "18", true},
    {"Comp128", 128, "14", true},
    {"Comp112", 112, "12.5", false},
    {"Comp96", 96, "11.89", true},
    {"Comp64", 64, "7.79", true},
}};

}  // namespace

std::span<const BitRateItem> bitRateItems() { return items; }

const BitRateItem* bitRateItem(int kbps) {
    for (const BitRateItem& item : items)
        if (item.kbps == kbps) return &item;
    return nullptr;
}

int storedBitRate(const QString& value) {
    bool ok = false;
    const int kbps = value.toInt(&ok);
    return ok && bitRateItem(kbps) ? kbps : 128;
}
