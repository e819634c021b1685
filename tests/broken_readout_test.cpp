// A readout that broke off keeps what arrived: the part of the log memory is
// moved to a name of its own in the readout's folder, with the time of the
// readout, and nothing else in the folder changes.
#include "conversion/broken_readout.h"
#include "support/log_files.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace trk7700;
using namespace trk7700::testing;
namespace fs = std::filesystem;

namespace {

RecordFields someRecord(uint32_t second)
{
    return {121345678, 25031234, utcStamp(2026, 5, 1, 8, 0, second), 10, 3, 0xFF};
}

// 2026-12-11 18:03:05 in the local time zone.
std::time_t readoutStart()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 11;
    t.tm_hour = 18;
    t.tm_min = 3;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

constexpr char kPartName[] = "Wayfolk-broken-off-2026-12-11-18_03_05.sr";

}  // namespace

TEST(BrokenReadoutTest, NameCarriesTheLocalTimeOfTheReadoutWithTheYear)
{
    EXPECT_EQ(client::brokenOffPartName(readoutStart()), kPartName);
}

TEST(BrokenReadoutTest, RecordsAreWholeUsedSlots)
{
    TempDir dir;
    // Three records, an erased slot, and the first 9 bytes of a fourth record.
    const std::string image = imageWith({someRecord(1), someRecord(2), someRecord(3)});
    writeFile(dir / "part", image.substr(0, 4 * 16) + image.substr(0, 9));
    EXPECT_EQ(client::rawLogRecords((dir / "part").string()), 3u);
    EXPECT_EQ(client::rawLogRecords((dir / "missing").string()), 0u);
}

TEST(BrokenReadoutTest, PartThatArrivedTakesANameOfItsOwnAndEarlierFilesStay)
{
    struct Case {
        const char *name;
        const char *scratchName;  // where the library left what arrived
        bool nameTaken;           // a part of the same second is already there
    } cases[] = {
        {"raw part", "DB.sr", false},
        {"ordered log when only the export failed", "SortDB.sr", false},
        {"a second part in the same second", "DB.sr", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string part = imageWith({someRecord(1), someRecord(2)}).substr(0, 2 * 16 + 5);
        writeFile(dir / c.scratchName, part);
        writeFile(dir / "Wayfolk.txt", "earlier text\r\n");
        writeFile(dir / "Wayfolk.nmea", "earlier nmea\r\n");
        if (c.nameTaken) writeFile(dir / kPartName, "earlier part");

        const auto kept = client::keepBrokenOffPart(dir.path().string(), readoutStart());
        const std::string expectedName =
            c.nameTaken ? "Wayfolk-broken-off-2026-12-11-18_03_05-2.sr" : std::string(kPartName);
        EXPECT_EQ(kept.path, (dir / expectedName).string()) << kept.error;
        EXPECT_EQ(kept.records, 2u);
        EXPECT_EQ(kept.bytes, part.size());
        EXPECT_EQ(readFile(dir / expectedName), part);
        EXPECT_FALSE(fs::exists(dir / c.scratchName));
        EXPECT_EQ(readFile(dir / "Wayfolk.txt"), "earlier text\r\n");
        EXPECT_EQ(readFile(dir / "Wayfolk.nmea"), "earlier nmea\r\n");
        if (c.nameTaken) {
            EXPECT_EQ(readFile(dir / kPartName), "earlier part");
        }
    }
}

TEST(BrokenReadoutTest, NothingIsKeptWithoutARecord)
{
    struct Case {
        const char *name;
        std::string raw;  // "DB.sr", or none when empty
    } cases[] = {
        {"nothing arrived", ""},
        {"only erased slots arrived", std::string(5 * 16, '\xFF')},
        {"less than one record arrived", imageWith({someRecord(1)}).substr(0, 15)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (!c.raw.empty()) writeFile(dir / "DB.sr", c.raw);
        const auto kept = client::keepBrokenOffPart(dir.path().string(), readoutStart());
        EXPECT_EQ(kept.path, "");
        EXPECT_EQ(kept.records, 0u);
        EXPECT_FALSE(fs::exists(dir / kPartName));
    }
}
