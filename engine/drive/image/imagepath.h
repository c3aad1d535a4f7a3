#pragma once

#include <string>

// The file a sheet names, as found on disk. Sheets written on Windows
// separate folders with "\" and do not care about letter case: when the
// name does not exist as written, a name that differs only in the case of
// its letters is taken. Relative names start in `directory` ("." or a path
// ending in "/"). The name as written when nothing matches.
std::string findImageFile(const std::string& directory, const std::string& name);
