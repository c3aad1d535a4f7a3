#pragma once

#include <cstddef>
#include <string>

// Answers of the naming services kept between runs, one file per disc:
// $XDG_CACHE_HOME/volta/<service>/<disc id>.json, ~/.cache standing in for
// an unset or relative XDG_CACHE_HOME. Empty when neither is known.
std::string answerCacheFolder(const char* service);

// 0 when the file exists and holds at most `maxBytes`; 1 when it is
// missing; 2 when it cannot be read or is larger.
int readCachedAnswer(const std::string& path, std::size_t maxBytes, std::string& text);

// Writes the answer whole or not at all, so that a run stopped halfway or
// two runs at once never leave half an answer; creates the folder. 0 on
// success.
int storeCachedAnswer(const std::string& folder, const std::string& path, const std::string& text);
