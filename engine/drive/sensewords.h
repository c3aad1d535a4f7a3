#pragma once

#include <string>

// A drive's sense data in words a user can act on.

// "Medium error", "Hardware error", ...: the sense key, capitalised to
// begin a line.
const char* senseKeyWords(int key);

// "unrecovered read error", ...: the additional sense code with its
// qualifier; codes not in the table are given as their numbers.
std::string senseConditionWords(int asc, int ascq);
