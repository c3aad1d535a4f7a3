#include "engine/control/textencoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEncodingTest, ConversionsBetweenLatin1AndUtf8) {
    struct Case {
        std::string in, utf8, latin1;
    };
    const Case cases[] = {
        {"Plain ASCII", "Plain ASCII", "Plain ASCII"},
        {"Caf\xe9", "Caf\u00e9", "Caf\xe9"},                      // ISO 8859-1
        {"Caf\u00e9", "Caf\u00e9", "Caf\xe9"},                    // already UTF-8
        {"Don\x92t \x96 \x81", "Don\u2019t \u2013  ", "Don\x92t \x96 \x81"},  // the 0x80..0x9F codes
        {"\u65e5\u672c \u2019", "\u65e5\u672c \u2019", "?? \x92"},  // outside ISO 8859-1
        {"\xc3\x28", "\u00c3(", "\xc3\x28"},                      // broken UTF-8 is ISO 8859-1
        {"\xc0\xaf", "\u00c0\u00af", "\xc0\xaf"},                 // overlong "/"
        {"\xed\xa0\x80", "\u00ed\u00a0\u20ac", "\xed\xa0\x80"},   // surrogate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(toUtf8(c.in), c.utf8);
        EXPECT_TRUE(isValidUtf8(toUtf8(c.in)));
        EXPECT_EQ(toLatin1(c.in), c.latin1);
    }
}

TEST(TextEncodingTest, CutsFallBetweenCharacters) {
    const std::string text = "a\u00e9\u65e5";  // 1, 2 and 3 bytes
    const size_t prefixes[] = {0, 1, 1, 3, 3, 3, 6, 6};
    for (size_t limit = 0; limit < 8; ++limit) EXPECT_EQ(utf8Prefix(text, limit), prefixes[limit]) << limit;
    EXPECT_EQ(characterPrefix(text, 2), 3u);
    EXPECT_EQ(characterPrefix("a\xe9\xe9", 2), 2u);
    EXPECT_EQ(utf8Length(text), 3u);
}

}  // namespace
