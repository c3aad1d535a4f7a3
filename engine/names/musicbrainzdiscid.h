#pragma once

#include "engine/drive/disclayout.h"

#include <string>

// The disc ID the MusicBrainz database files the disc under: a digest of
// its first session's table of contents, 28 characters that may stand in
// a URL and a file name.
std::string musicBrainzDiscId(const DiscLayout& layout);
