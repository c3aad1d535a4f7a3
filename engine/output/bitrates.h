#pragma once

#include "engine/output/encoderkind.h"

#include <string>

// The MPEG-1 Layer III bit rates: the MP3 library would replace any other
// by a near one, and the file would not have the rate that was asked for.
inline constexpr int kMp3BitratesKbps[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

// The Windows Media writer's encoder refuses less; more only pads the file.
inline constexpr int kWmaLowestKbps = 24;
inline constexpr int kWmaHighestKbps = 320;

// The largest rate that still fits the bit rate field in bits per second.
inline constexpr long long kLargestKbps = 2147483;

// True when `kbps` works with `encoder`, or the encoder takes any rate.
bool bitrateWorks(EncoderKind encoder, long long kbps);

// The one line that refuses the rate written `kbps` for `encoder`, naming
// the rates that work.
std::string bitrateRefusal(EncoderKind encoder, const std::string& kbps);
