// Ordering the ring: "DB.sr" in, "SortDB.sr" out with the oldest record first.
#include "log/log_image.h"
#include "sim/track_generator.h"
#include "support/log_files.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

class OrderingTest : public ::testing::Test {
protected:
    int sort(const std::string &raw)
    {
        writeFile(dir / "DB.sr", raw);
        InDirectory in(dir.path());
        return log::SortLogImage();
    }
    std::string sorted() const { return readFile(dir / "SortDB.sr"); }

    TempDir dir;
};

std::string slotOf(const std::string &image, size_t slot) { return image.substr(slot * 16, 16); }

RecordFields somePlace(uint32_t second)
{
    return {121345678, 25031234, utcStamp(2026, 5, 1, 8, 0, second), 10, 3, 0xFF};
}

}  // namespace

class GeneratedShapeTest : public OrderingTest, public ::testing::WithParamInterface<sim::LogShape> {};

TEST_P(GeneratedShapeTest, OldestRecordFirstThenEmptySlots)
{
    const auto log = sim::generateLog(GetParam(), 11);
    const std::string raw(log.image.begin(), log.image.end());
    ASSERT_EQ(sort(raw), 1);
    const std::string out = sorted();
    ASSERT_EQ(out.size(), kImageBytes);

    // The rotation starts at the first used slot after the first gap; a log
    // without a gap stays as it is.
    const size_t start = log.gaps.empty() ? 0 : log.gaps.front().second;
    EXPECT_TRUE(out == raw.substr(start * 16) + raw.substr(0, start * 16)) << "rotated at slot " << start;

    // Read up to the first empty slot, the records come in the order written;
    // a second gap ends them early.
    const size_t readable = log.gaps.size() > 1 ? log.gaps[1].first - log.gaps[0].second : log.writeOrder.size();
    for (size_t k = 0; k < readable; ++k) {
        ASSERT_EQ(slotOf(out, k), slotOf(raw, log.writeOrder[k])) << "record " << k;
    }
    if (readable < kImageRecords) {
        EXPECT_EQ(slotOf(out, readable), std::string(16, '\xFF'));
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GeneratedShapeTest, ::testing::ValuesIn(sim::allLogShapes()), [](const auto &info) {
    std::string name = sim::logShapeName(info.param);
    std::erase(name, '-');
    return name;
});

TEST_F(OrderingTest, NeverWrappedLogIsCopiedUnchanged)
{
    const auto log = sim::generateLog(sim::LogShape::drive, 5);
    const std::string raw(log.image.begin(), log.image.end());
    ASSERT_EQ(sort(raw), 1);
    EXPECT_TRUE(sorted() == raw);
}

TEST_F(OrderingTest, EmptySlotZeroStartsAtTheFirstUsedSlot)
{
    std::string raw = imageWith({});
    for (uint32_t i = 0; i < 100; ++i) {
        const auto bytes = recordBytes(somePlace(i % 60));
        raw.replace((100 + i) * 16, 16, reinterpret_cast<const char *>(bytes.data()), 16);
    }
    ASSERT_EQ(sort(raw), 1);
    EXPECT_EQ(slotOf(sorted(), 0), slotOf(raw, 100));
    EXPECT_EQ(slotOf(sorted(), 99), slotOf(raw, 199));
    EXPECT_EQ(slotOf(sorted(), 100), std::string(16, '\xFF'));
}

TEST_F(OrderingTest, ShortRawFileLeavesEmptySlotsNotAnEarlierLog)
{
    const auto full = sim::generateLog(sim::LogShape::full, 2);
    ASSERT_EQ(sort({full.image.begin(), full.image.end()}), 1);

    const std::string threeRecords = imageWith({somePlace(1), somePlace(2), somePlace(3)}).substr(0, 48);
    ASSERT_EQ(sort(threeRecords), 1);
    EXPECT_TRUE(sorted() == imageWith({somePlace(1), somePlace(2), somePlace(3)}));
}

TEST_F(OrderingTest, LongRawFileIsCutAtOneImage)
{
    const auto log = sim::generateLog(sim::LogShape::wrapped, 4);
    const std::string image(log.image.begin(), log.image.end());
    ASSERT_EQ(sort(image + std::string(5000, '\0')), 1);
    const std::string out = sorted();
    ASSERT_EQ(out.size(), kImageBytes);
    const size_t start = log.gaps.front().second;
    EXPECT_TRUE(out == image.substr(start * 16) + image.substr(0, start * 16));
}

TEST_F(OrderingTest, MissingRawFileGivesNine)
{
    InDirectory in(dir.path());
    EXPECT_EQ(log::SortLogImage(), 9);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST_F(OrderingTest, SortedFileInTheWayGivesSevenAndKeepsTheRawFile)
{
    std::filesystem::create_directory(dir / "SortDB.sr");
    EXPECT_EQ(sort(imageWith({somePlace(0)})), 7);
    EXPECT_EQ(readFile(dir / "DB.sr").size(), kImageBytes);
}
