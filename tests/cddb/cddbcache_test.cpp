#include "engine/cddb/cddbcache.h"

#include "tests/support/runvolta.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

const char* const kKey = "cddb query 10025803 3 150 18000 33000 602";

class CddbCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        names = std::make_unique<DiscNames>();
        std::strcpy(names->discTitle, "Disc");
        std::strcpy(names->discArtist, "Unknown");
        for (auto& title : names->trackTitles) std::strcpy(title, "Track");
    }

    int find(const std::string& content) {
        writeFile(cache, content);
        return findCacheEntry(cache.c_str(), kKey, *names);
    }

    TempDir dir;
    std::string cache = dir.file("cddb.cache");
    std::unique_ptr<DiscNames> names;
};

TEST_F(CddbCacheTest, AppendWritesTheEntryFormat) {
    std::strcpy(names->discTitle, "Some Disc");
    std::strcpy(names->discArtist, "Some Artist");
    std::strcpy(names->trackTitles[0], "Intro");
    std::strcpy(names->trackTitles[1], "Middle");
    std::strcpy(names->trackTitles[2], "End");
    appendCacheEntry(cache.c_str(), kKey, *names, 1, 3);
    appendCacheEntry(cache.c_str(), "cddb query 01000001 1 150 2", *names, 2, 2);
    EXPECT_EQ(readFile(cache),
              "cddb query 10025803 3 150 18000 33000 602\nSome Disc\nSome Artist\n1 3\nIntro\nMiddle\nEnd\n"
              "cddb query 01000001 1 150 2\nSome Disc\nSome Artist\n2 2\nMiddle\n");
}

TEST_F(CddbCacheTest, AppendStepsOverACutLineAndRefusesKeyLikeNames) {
    writeFile(cache, "cddb query 0a0");
    std::strcpy(names->trackTitles[0], "Intro");
    ASSERT_EQ(appendCacheEntry(cache.c_str(), kKey, *names, 1, 1), 0);
    EXPECT_EQ(readFile(cache), std::string("cddb query 0a0\n") + kKey + "\nDisc\nUnknown\n1 1\nIntro\n");

    // Read back, such a name would start an entry of another disc.
    std::strcpy(names->trackTitles[0], "cddb query 01000001 1 150 2");
    std::string before = readFile(cache);
    EXPECT_EQ(appendCacheEntry(cache.c_str(), kKey, *names, 1, 1), 0);
    EXPECT_EQ(readFile(cache), before);
}

TEST_F(CddbCacheTest, UnwritableFileIsSkipped) {
    appendCacheEntry(dir.file("missing/cddb.cache").c_str(), kKey, *names, 1, 3);
    EXPECT_NE(findCacheEntry(dir.file("missing/cddb.cache").c_str(), kKey, *names), 0);
}

TEST_F(CddbCacheTest, FindsTheEntryAfterOthers) {
    ASSERT_EQ(find("cddb query 0a019002 2 15150 30150 602\nOther Disc\nOther Artist\n3 4\nThree\nFour\n"
                   "cddb query 10025803 3 150 18000 33000 602\nSome Disc\nSome Artist\n1 3\nIntro\n  Middle\nEnd\n"),
              0);
    EXPECT_STREQ(names->discTitle, "Some Disc");
    EXPECT_STREQ(names->discArtist, "Some Artist");
    EXPECT_STREQ(names->trackTitles[0], "Intro");
    EXPECT_STREQ(names->trackTitles[1], "  Middle");
    EXPECT_STREQ(names->trackTitles[2], "End");
}

TEST_F(CddbCacheTest, EntryNumbersDecideWhichNamesAreRead) {
    ASSERT_EQ(find(std::string(kKey) + "\nT\nA\n2 3\nSecond\nThird\n"), 0);
    EXPECT_STREQ(names->trackTitles[0], "Track");
    EXPECT_STREQ(names->trackTitles[1], "Second");
    EXPECT_STREQ(names->trackTitles[2], "Third");
}

TEST_F(CddbCacheTest, FirstOfTwoEntriesWins) {
    ASSERT_EQ(find(std::string(kKey) + "\nFirst\nA\n1 1\nOne\n" + kKey + "\nSecond\nB\n1 1\nUno\n"), 0);
    EXPECT_STREQ(names->discTitle, "First");
    EXPECT_STREQ(names->trackTitles[0], "One");
}

TEST_F(CddbCacheTest, KeyMustMatchExactly) {
    EXPECT_NE(find("CDDB QUERY 10025803 3 150 18000 33000 602\nT\nA\n1 1\nOne\n"
                   "cddb query 10025803 3 150 18000 33000 602 \nT\nA\n1 1\nOne\n"),
              0);
    EXPECT_STREQ(names->discTitle, "Disc");
}

TEST_F(CddbCacheTest, OverlongLinesKeepTheEntriesInStep) {
    std::string huge(6000, 'h');
    ASSERT_EQ(find("cddb query 0a019002 2 15150 30150 602\n" + huge + "\nA\n1 2\n" + huge + "\nTwo\n" + kKey +
                   "\n" + huge + "\nA\n1 1\nOne\n"),
              0);
    EXPECT_EQ(std::string(names->discTitle), std::string(255, 'h'));
    EXPECT_STREQ(names->trackTitles[0], "One");
}

TEST_F(CddbCacheTest, LinesEndedByCarriageReturnsMatch) {
    ASSERT_EQ(find(std::string(kKey) + "\r\nT\r\nA\r\n1 1\r\nOne\r\n"), 0);
    EXPECT_STREQ(names->discTitle, "T");
    EXPECT_STREQ(names->trackTitles[0], "One");
}

TEST_F(CddbCacheTest, DamagedEntriesFindNothingAndChangeNothing) {
    const std::string damaged[] = {
        std::string(kKey) + "\nT\nA\n1 3\nOne\nTwo\n",          // cut short
        std::string(kKey) + "\nT\nA\none three\nOne\n",         // no numbers
        "",
    };
    for (const auto& content : damaged) {
        EXPECT_NE(find(content), 0) << content;
        EXPECT_STREQ(names->discTitle, "Disc");
        EXPECT_STREQ(names->trackTitles[0], "Track");
    }
}

// A crash cuts the last entry anywhere; later runs append after it.
TEST_F(CddbCacheTest, CutEntriesDoNotHideLaterOnes) {
    const std::string later = std::string(kKey) + "\nFound\nA\n1 2\nOne\nTwo\n";
    const std::string cut[] = {
        "cddb query 0a019002 2 15150 30150 602\nT\nA\n1 3\nOne\n",  // in the track lines
        "cddb query 0a019002 2 15150 30150 602\nT\nA\n\n",           // in the numbers
        "cddb query 0a019002 2 15\n",                                  // in the key
        std::string(kKey) + "\nCut\nA\n1 2\nOne\n",                  // the same disc, cut
        "stray text\n\n",
    };
    for (const auto& damaged : cut) {
        ASSERT_EQ(find(damaged + later), 0) << damaged;
        EXPECT_STREQ(names->discTitle, "Found");
        EXPECT_STREQ(names->trackTitles[1], "Two");
    }
}

TEST_F(CddbCacheTest, ANulInALineBlanksItAndKeepsTheNextLine) {
    ASSERT_EQ(find(std::string(kKey) + "\nT\nA\n1 2\nO" + std::string(1, '\0') + "ne\nTwo\n"), 0);
    EXPECT_STREQ(names->trackTitles[0], "O ne");
    EXPECT_STREQ(names->trackTitles[1], "Two");
}

TEST_F(CddbCacheTest, TracksOutsideTheTableAreSkipped) {
    ASSERT_EQ(find(std::string(kKey) + "\nT\nA\n0 1\nZero\nOne\n" + "x\n"), 0);
    EXPECT_STREQ(names->trackTitles[0], "One");
    ASSERT_EQ(find(std::string(kKey) + "\nT\nA\n100 101\nHundred\nBeyond\n"), 0);
    EXPECT_STREQ(names->trackTitles[99], "Hundred");
}

TEST_F(CddbCacheTest, HugeTrackNumbersStillCountOneLine) {
    // "n n" names one track, however large n is written.
    for (const char* number : {"9223372036854775807", "99999999999999999999", "2147483647"}) {
        std::string numbers = std::string(number) + " " + number;
        ASSERT_EQ(find("cddb query 0a019002 2 15150 30150 602\nT\nA\n" + numbers + "\nName\n" + kKey +
                       "\nFound\nA\n1 1\nOne\n"),
                  0)
            << number;
        EXPECT_STREQ(names->discTitle, "Found");
    }
}

TEST_F(CddbCacheTest, MissingFileHoldsNothing) {
    EXPECT_NE(findCacheEntry(dir.file("none").c_str(), kKey, *names), 0);
}

}  // namespace
