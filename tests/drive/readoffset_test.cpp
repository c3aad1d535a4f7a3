// Drives with a read offset. Ripped with /offset of the drive's own offset,
// every mode copies tracks, ranges and the whole disc exactly, up to the
// frames that would lie beyond the disc's ends for the drive, which are
// silence; ripped without it, the copy is shifted.

#include "engine/drive/readoffset.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"
#include "tests/support/wavfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kModes[] = {"/mb", "/mn", "/ms", "/mm"};

// The copy of the disc's sectors [first, end) through a drive of offset
// `offset` corrected for it: frame k comes from drive position k + offset,
// and positions outside the disc are never read.
std::string correctedCopy(const DiscImage& image, int first, int end, int offset) {
    std::string bytes = image.sectors(first, end - first);
    long long discFrames = static_cast<long long>(image.leadOut()) * kFramesPerSector;
    for (long long k = 0; k < static_cast<long long>(bytes.size()) / kFrameBytes; ++k) {
        long long position = static_cast<long long>(first) * kFramesPerSector + k + offset;
        if (position < 0 || position >= discFrames) bytes.replace(k * kFrameBytes, kFrameBytes, kFrameBytes, '\0');
    }
    return bytes;
}

class ReadOffsetTest : public testing::Test {
protected:
    RunResult rip(const std::string& images, const std::vector<std::string>& args) {
        return runVoltaOn(images, args, dir.path());
    }

    TempDir dir;
};

// Offsets of a few frames, of more than a sector either way, and the
// largest; the middle track is shorter than the largest offset.
TEST_F(ReadOffsetTest, CorrectedRipsEqualTheDiscInEveryMode) {
    DiscImage image(dir.path(), audioDisc({30, 7, 40}));
    const int offsets[] = {6, 667, -1200, 5880};
    for (int offset : offsets) {
        std::string drive = image.imagesEntry("offset=" + std::to_string(offset));
        for (const char* mode : kModes) {
            SCOPED_TRACE(std::string(mode) + " offset " + std::to_string(offset));
            char correction[32];
            std::snprintf(correction, sizeof correction, "/offset%+d", offset);
            RunResult result = rip(drive, {mode, correction, "o", "1:3", "*", "5-50"});
            ASSERT_EQ(result.exitCode, 0) << result.output;
            for (int track = 1; track <= 3; ++track) {
                char name[16];
                std::snprintf(name, sizeof name, "o%02d.wav", track);
                EXPECT_TRUE(sameBytes(wavData(dir.file(name)),
                                      correctedCopy(image, image.trackStart(track), image.trackEnd(track), offset)))
                    << "track " << track;
            }
            EXPECT_TRUE(sameBytes(wavData(dir.file("o.wav")), correctedCopy(image, 0, image.leadOut(), offset)));
            EXPECT_TRUE(sameBytes(wavData(dir.file("o{5-50}.wav")), correctedCopy(image, 5, 50, offset)));

            RunResult plain = rip(drive, {mode, "p", "2"});
            ASSERT_EQ(plain.exitCode, 0) << plain.output;
            EXPECT_NE(wavData(dir.file("p02.wav")), image.sectors(image.trackStart(2), 7));
        }
    }
}

// The correction reads the sectors it needs and no more: one beyond a
// track's edge for a fraction of a sector.
TEST(ReadOffsetPlan, ReadsWhatTheCopyNeeds) {
    struct Case {
        const char* name;
        int start, end, offset, low, high;
        OffsetRead plan;  // first, end, leading, skip, take, trailing
    } cases[] = {
        {"none", 10, 20, 0, 0, 100, {10, 20, 0, 0, 10 * 2352, 0}},
        {"a few frames later", 10, 20, 6, 0, 100, {10, 21, 0, 24, 10 * 2352, 0}},
        {"a few frames earlier", 10, 20, -6, 0, 100, {9, 20, 0, 2352 - 24, 10 * 2352, 0}},
        {"whole sectors", 10, 20, 1176, 0, 100, {12, 22, 0, 0, 10 * 2352, 0}},
        {"before the disc", 0, 5, -100, 0, 100, {0, 5, 400, 0, 5 * 2352 - 400, 0}},
        {"beyond the lead-out", 95, 100, 100, 0, 100, {95, 100, 0, 400, 5 * 2352 - 400, 400}},
        {"a data track behind", 40, 50, 588, 0, 50, {41, 50, 0, 0, 9 * 2352, 2352}},
        {"all beyond", 98, 100, 5880, 0, 100, {98, 98, 0, 0, 0, 2 * 2352}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OffsetRead plan = planOffsetRead(c.start, c.end, c.offset, c.low, c.high);
        EXPECT_EQ(plan.firstSector, c.plan.firstSector);
        EXPECT_EQ(plan.endSector, c.plan.endSector);
        EXPECT_EQ(plan.leadingZeroBytes, c.plan.leadingZeroBytes);
        EXPECT_EQ(plan.skipBytes, c.plan.skipBytes);
        EXPECT_EQ(plan.takeBytes, c.plan.takeBytes);
        EXPECT_EQ(plan.trailingZeroBytes, c.plan.trailingZeroBytes);
    }
}

TEST_F(ReadOffsetTest, OffsetsOutsideTheDiscsReachAreRefused) {
    for (const char* bad : {"/offset+5881", "/offset-5881", "/offset", "/offset+", "/offset6x", "/OFFSET1e3"}) {
        SCOPED_TRACE(bad);
        RunResult result = runVolta({bad, "o", "1"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, bannerText() + "Read offset must be a number of samples from -5880 to +5880: " +
                                     (bad + 7) + "\n");
    }
}

}  // namespace
