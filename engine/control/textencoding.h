#pragma once

#include <string>
#include <string_view>

// Names from CD-TEXT and CDDB arrive in ISO 8859-1, although some servers
// send UTF-8 whatever protocol level they speak. File names and the console
// want UTF-8; ID3v1 tags want ISO 8859-1.

bool isValidUtf8(std::string_view text);

// Valid UTF-8 is returned as it is; anything else is read as ISO 8859-1.
std::string toUtf8(std::string_view text);

// Valid UTF-8 is mapped to ISO 8859-1, characters outside it becoming "?";
// anything else is taken to be ISO 8859-1 already.
std::string toLatin1(std::string_view text);

// The length of at most `limit` bytes of UTF-8 text that ends on a
// character boundary.
size_t utf8Prefix(std::string_view text, size_t limit);

// The bytes of the first `characters` characters of a name in either
// encoding, and the number of characters of UTF-8 text.
size_t characterPrefix(std::string_view text, size_t characters);
size_t utf8Length(std::string_view text);
