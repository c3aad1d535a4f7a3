#pragma once

#include <string>
#include <string_view>

// The SHA-256 digest of `text` in lower-case hex: what seals a rip log.
std::string sha256Hex(std::string_view text);
