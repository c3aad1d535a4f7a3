#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The SHA-1 digest of `data`. Only disc identification needs it, where it
// names a table of contents rather than guarding a secret.
std::array<uint8_t, 20> sha1(std::string_view data);
