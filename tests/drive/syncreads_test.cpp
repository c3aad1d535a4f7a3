// What sync mode reads: only sectors of the range, a range of one block in
// one read, and the first block no more than a few times on a drive that
// lands where it is sent; a drive that does not is still copied exactly.

#include "engine/drive/extractors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/common/byteorder.h"
#include "engine/control/progressmeter.h"
#include "engine/drive/aspi.h"
#include "engine/drive/image/virtualdrive.h"
#include "engine/drive/scsidrive.h"
#include "tests/pipeline/recordingstage.h"
#include "tests/support/discimage.h"
#include "tests/support/runvolta.h"

namespace {

struct Read {
    int lba;
    int count;
};

// A virtual drive that notes every audio read it is sent.
class ReadLog : public ScsiTarget {
public:
    ReadLog(std::unique_ptr<ScsiTarget> drive, std::vector<Read>& reads) : drive_(std::move(drive)), reads_(reads) {}
    uint8_t execute(RequestBlock& block) override {
        if (block.cdb[0] == 0xBE)
            reads_.push_back({static_cast<int>(readBigEndian32(block.cdb + 2)),
                              static_cast<int>(readBigEndian24(block.cdb + 6))});
        return drive_->execute(block);
    }
    bool answersAtOnce() const override { return drive_->answersAtOnce(); }

private:
    std::unique_ptr<ScsiTarget> drive_;
    std::vector<Read>& reads_;
};

class SyncReadsTest : public testing::Test {
protected:
    SyncReadsTest() : image(dir.path(), audioDisc({750, 100})) {}

    // Runs sync mode over [startLba, endLba) of the image's drive with
    // `settings`; the reads it sent are in `reads`, the copy in `copy`.
    int rip(const std::string& settings, int startLba, int endLba) {
        reads.clear();
        std::vector<HostAdapter> hosts(1);
        std::string failure;
        if (loadVirtualDrives(image.imagesEntry(settings).c_str(), hosts[0], failure) != 0) {
            ADD_FAILURE() << failure;
            return -1;
        }
        hosts[0].devices[0].unit = std::make_unique<ReadLog>(std::move(hosts[0].devices[0].unit), reads);
        AspiLibrary library(std::move(hosts), "");
        MmcDrive drive(&library, 0, 0, 0);
        auto recording = std::make_unique<RecordingStage>();
        RecordingStage* recorded = recording.get();
        std::unique_ptr<AudioStage> chain = std::move(recording);
        int result;
        {
            auto extractor = std::make_unique<SyncExtractor>(drive, chain, library);
            ProgressMeter progress;
            result = extractor->run(startLba, endLba, progress);
        }
        copy.assign(recorded->bytes.begin(), recorded->bytes.end());
        return result;
    }

    int readsOfTheFirstBlock(int startLba) const {
        return static_cast<int>(std::count_if(reads.begin(), reads.end(), [&](const Read& r) {
            return r.lba < startLba + kMaxSectorsPerRead && r.lba + r.count > startLba;
        }));
    }

    void expectReadsInside(int startLba, int endLba) const {
        for (const Read& r : reads)
            EXPECT_TRUE(r.lba >= startLba && r.lba + r.count <= endLba)
                << r.lba << "+" << r.count << " outside " << startLba << "-" << endLba;
    }

    TempDir dir;
    DiscImage image;
    std::vector<Read> reads;
    std::string copy;
};

TEST_F(SyncReadsTest, ReadsStayInsideTheRange) {
    struct Range {
        int start, end;
    };
    // Short ranges, one just over a block, a track, and the disc's end.
    for (Range range : {Range{100, 110}, Range{0, 1}, Range{825, 850}, Range{200, 226}, Range{300, 330},
                        Range{0, 750}, Range{750, 850}, Range{700, 850}}) {
        SCOPED_TRACE(std::to_string(range.start) + "-" + std::to_string(range.end));
        ASSERT_EQ(rip("", range.start, range.end), 0);
        EXPECT_EQ(copy, image.sectors(range.start, range.end - range.start));
        expectReadsInside(range.start, range.end);
        if (range.end - range.start <= kMaxSectorsPerRead) {
            EXPECT_EQ(reads.size(), 1u);
        }
    }
}

TEST_F(SyncReadsTest, AFaithfulDriveReadsTheFirstBlockOnce) {
    ASSERT_EQ(rip("", 0, 750), 0);
    EXPECT_EQ(copy, image.sectors(0, 750));
    EXPECT_LE(readsOfTheFirstBlock(0), 3);
    // A drive that delivers every sector a fixed distance late lands the
    // same way every time, so it counts as faithful.
    ASSERT_EQ(rip("shift=2", 0, 750), 0);
    EXPECT_EQ(copy, image.sectors(2, 750));
    EXPECT_LE(readsOfTheFirstBlock(0), 3);
}

// The first block is read again to learn the scatter, and the copy starts
// at its middle, whether the first read landed early, late or right.
TEST_F(SyncReadsTest, AScatteringDriveIsCopiedExactly) {
    for (const char* settings : {"jitter=1", "jitter=2", "jitter=1,seed=3", "jitter=2,seed=5", "jitter=2,seed=11",
                                 "jitter=3,seed=8"}) {
        SCOPED_TRACE(settings);
        for (int start : {0, 300}) {
            ASSERT_EQ(rip(settings, start, 750), 0);
            EXPECT_EQ(copy, image.sectors(start, 750 - start));
            expectReadsInside(start, 750);
        }
    }
}

}  // namespace
