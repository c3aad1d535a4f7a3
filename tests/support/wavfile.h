#pragma once

#include <gtest/gtest.h>

#include <string>

// The bytes of the "data" chunk of a RIFF/WAVE file, found by walking its
// chunks; throws when the file has none.
std::string wavData(const std::string& path);

// A RIFF/WAVE file for CD audio holding `samples`, with `extraChunks` (whole
// chunks, identifier and size included) between "fmt " and "data".
std::string makeWav(const std::string& samples, const std::string& extraChunks = "");

// One chunk: identifier, little-endian size, body, and the pad byte that
// keeps the next chunk at an even offset.
std::string riffChunk(const std::string& id, const std::string& body);

// Audio compared without printing it: on a difference, the sizes and where
// the first difference lies.
testing::AssertionResult sameBytes(const std::string& got, const std::string& expected);
