#pragma once

#include <span>

// Which texts of the main window come from the string table, by object name.
struct CaptionTarget {
    const char* objectName;
    bool toolTip;  // else the caption
    int baseId;    // 1000 + k
};

std::span<const CaptionTarget> mainWindowCaptions();
