// An empty readout never replaces an earlier one: the staged track text takes
// its name only when it holds records or when nothing of an earlier readout is
// in the folder.
#include "conversion/readout_staging.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

const std::string kHeaders = "Header 1\r\nHeader 2\r\n";
const std::string kOneRecord = kHeaders + "--- $GPGGA,1\r\n--- $GPRMC,1\r\n";

void write(const std::string &path, const std::string &content) { std::ofstream(path, std::ios::binary) << content; }

std::string read(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Case {
    const char *name;
    std::string staged;       // content of the staged text
    std::string earlierFile;  // an earlier file of the readout's names ("" for none)
    client::StagedTextOutcome expected;
};

class ReadoutStaging : public ::testing::TestWithParam<Case> {};

TEST_P(ReadoutStaging, PlacesOrKeepsTheEarlierReadout)
{
    const Case &c = GetParam();
    TempDir dir;
    const auto files = client::readoutFiles(dir.str(), "");
    write(client::stagedTrackText(files), c.staged);
    const std::string earlier = c.earlierFile.empty() ? "" : (dir / c.earlierFile).string();
    if (!earlier.empty()) write(earlier, "earlier");

    std::string error;
    EXPECT_EQ(client::placeStagedTrackText(files, error), c.expected);
    EXPECT_FALSE(std::filesystem::exists(client::stagedTrackText(files)));
    if (c.expected == client::StagedTextOutcome::placed) {
        EXPECT_EQ(read(files.trackText), c.staged);
        // Converting replaces the other files later; placing the text does not.
        if (!earlier.empty() && earlier != files.trackText) {
            EXPECT_EQ(read(earlier), "earlier");
        }
    } else {
        EXPECT_EQ(read(earlier), "earlier");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadoutStaging,
    ::testing::Values(Case{"RecordsReplaceText", kOneRecord, "Wayfolk.txt", client::StagedTextOutcome::placed},
                      Case{"EmptyIntoEmptyFolder", kHeaders, "", client::StagedTextOutcome::placed},
                      Case{"EmptyKeepsText", kHeaders, "Wayfolk.txt", client::StagedTextOutcome::emptyKeptEarlier},
                      Case{"EmptyKeepsNmea", kHeaders, "Wayfolk.nmea", client::StagedTextOutcome::emptyKeptEarlier},
                      Case{"EmptyKeepsGpx", kHeaders, "Wayfolk.gpx", client::StagedTextOutcome::emptyKeptEarlier},
                      Case{"EmptyKeepsMarkFile", kHeaders, "wayfolk(TAG--5).nmea",
                           client::StagedTextOutcome::emptyKeptEarlier},
                      Case{"HeadersWithoutLineEnd", "Header 1\r\nHeader 2", "Wayfolk.kml",
                           client::StagedTextOutcome::emptyKeptEarlier},
                      Case{"OtherStampIsNoEarlierReadout", kHeaders, "wayfolk(TAG--5)05_12-9_07_03.nmea",
                           client::StagedTextOutcome::placed}),
    [](const auto &info) { return info.param.name; });

TEST(ReadoutStagingFiles, ARecordCheckNeverBlocksOnAFifo)
{
    TempDir dir;
    const std::string fifo = (dir / "Wayfolk.txt.partial").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(client::trackTextHasRecords(fifo));
}

TEST(ReadoutStagingFiles, DiscardRemovesOnlyTheStagedText)
{
    TempDir dir;
    const auto files = client::readoutFiles(dir.str(), "");
    write(files.trackText, "earlier");
    write(client::stagedTrackText(files), kOneRecord);
    client::discardStagedTrackText(files);
    EXPECT_FALSE(std::filesystem::exists(client::stagedTrackText(files)));
    EXPECT_EQ(read(files.trackText), "earlier");
}

}  // namespace
