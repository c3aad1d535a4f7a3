#pragma once

#include <string>

// Writes `text` as the file `path`, which must not exist yet: in full under
// a temporary name in the same folder first, so that a file of that name is
// always complete and an existing one is never replaced. 0 on success;
// otherwise `reason` says why.
int writeNewFile(const std::string& path, const std::string& text, std::string& reason);
