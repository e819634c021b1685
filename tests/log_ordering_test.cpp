// Ordering the ring: "DB.sr" in, "SortDB.sr" out with the oldest record first.
#include "log/log_image.h"
#include "sim/track_generator.h"
#include "support/log_files.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

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

    // The rotation starts at the first used slot after the erased sectors at
    // the seam of the ring; a log without a gap stays as it is.
    const size_t start = log.gaps.empty() ? 0 : log.gaps.front().second;
    EXPECT_TRUE(out == raw.substr(start * 16) + raw.substr(0, start * 16)) << "rotated at slot " << start;

    // Read in order, skipping empty slots, every record comes in the order
    // written, the ones beyond a few unwritten slots included.
    size_t k = 0;
    for (size_t slot = 0; slot < kImageRecords; ++slot) {
        if (slotOf(out, slot).substr(0, 4) == std::string(4, '\xFF')) continue;
        ASSERT_LT(k, log.writeOrder.size()) << "a record beyond the written ones at sorted slot " << slot;
        ASSERT_EQ(slotOf(out, slot), slotOf(raw, log.writeOrder[k])) << "record " << k;
        ++k;
    }
    EXPECT_EQ(k, log.writeOrder.size());
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

// Where the oldest record lies, for rings drawn as used (#) and empty (.)
// slots at the start and at the end of the memory; the middle is empty.
TEST(OldestSlotTest, FirstUsedSlotAfterTheLongestRunOfEmptySlots)
{
    struct Case {
        const char *name;
        const char *head;  // slots from 0 on
        const char *tail;  // the last slots of the memory
        size_t oldest;     // from the end when fromEnd
        bool fromEnd;
    } cases[] = {
        {"no record at all", "", "", 0, false},
        {"never wrapped", "####", "", 0, false},
        {"never wrapped, a slot left out", "##.##", "", 0, false},
        {"wrapped", "##", "###", 3, true},
        {"wrapped, a slot left out among the newest", "##..#", "###", 3, true},
        {"wrapped, a slot left out among the oldest", "##", "#.##", 4, true},
        {"records only at the end", "", "###", 3, true},
        {"slot 0 empty, records after it", "..###", "", 2, false},
    };
    for (const auto &c : cases) {
        auto image = std::make_unique<log::LogImage>();
        std::memset(image->bytes, 0xFF, sizeof image->bytes);
        const std::string head = c.head;
        const std::string tail = c.tail;
        for (size_t i = 0; i < head.size(); ++i)
            if (head[i] == '#') std::memset(image->bytes + i * 16, 0, 16);
        for (size_t i = 0; i < tail.size(); ++i)
            if (tail[i] == '#') std::memset(image->bytes + (kImageRecords - tail.size() + i) * 16, 0, 16);
        const size_t expected = c.fromEnd ? kImageRecords - c.oldest : c.oldest;
        EXPECT_EQ(log::oldestSlot(*image), expected) << c.name;
    }
}

TEST(OldestSlotTest, FullRingAndEqualRunsStartAtTheLowestRun)
{
    auto image = std::make_unique<log::LogImage>();
    std::memset(image->bytes, 0, sizeof image->bytes);
    EXPECT_EQ(log::oldestSlot(*image), 0u);
    // Two runs of three empty slots: the one that begins lower wins.
    for (size_t slot : {1000u, 1001u, 1002u, 5000u, 5001u, 5002u}) std::memset(image->bytes + slot * 16, 0xFF, 16);
    EXPECT_EQ(log::oldestSlot(*image), 1003u);
    // A longer run wins wherever it is.
    std::memset(image->bytes + 5003 * 16, 0xFF, 16);
    EXPECT_EQ(log::oldestSlot(*image), 5004u);
    // So does one that runs across the end of the memory into slot 0.
    for (size_t slot : {kImageRecords - 3, kImageRecords - 2, kImageRecords - 1, size_t{0}, size_t{1}})
        std::memset(image->bytes + slot * 16, 0xFF, 16);
    EXPECT_EQ(log::oldestSlot(*image), 2u);
}

TEST_F(OrderingTest, RecordCutOffAtTheEndOfARawFileIsLeftOut)
{
    const std::string two = imageWith({somePlace(1), somePlace(2)});
    ASSERT_EQ(sort(two.substr(0, 16 + 9)), 1);
    EXPECT_TRUE(sorted() == imageWith({somePlace(1)}));
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
