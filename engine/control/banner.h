#pragma once

// The three lines every run starts with. The front-end counts them to find
// the drive and listing lines, so the notice must stay one line.
constexpr const char* kBanner =
    "TANAGER 2.80 Release (May 13 2000,00:39:12)\n"
    "VOLTA digital audio extraction engine for Linux\n"
    "\n";

// How the program names itself to the web services it asks, which want its
// version and an address where its makers can be reached.
constexpr const char* kUserAgent = "VOLTA/2.80 ( https://volta.invalid/ )";
