#pragma once

#include <cstddef>
#include <string>

// Writes all `bytes` to `fd`, again after an interruption or a short write.
// 0 on success; 1 with errno set (ENOSPC for a write that took nothing).
int writeAll(int fd, const char* data, std::size_t bytes);

// Whether anything stands at `path`, a dangling link included.
bool pathExists(const std::string& path);
