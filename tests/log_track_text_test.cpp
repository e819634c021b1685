// The track text: header lines, GGA and RMC lines per record, checksums, and
// what the export does with missing, short and long input.
#include "log/track_text.h"
#include "sim/track_generator.h"
#include "support/log_files.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

const std::string kHeader = std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine;

// Mark 3, 09:45:12 UTC on 5 December 2026, 25 deg 03.1234 min N, 121 deg 34.5678 min E, 123 m, 7 knots.
const RecordFields kWorkedExample{121345678, 25031234, utcStamp(2026, 12, 5, 9, 45, 12), 123, 7, 3};

std::string linesOf(const RecordFields &fields)
{
    const auto bytes = recordBytes(fields);
    char text[log::kMaxRecordLinesSize];
    return {text, log::formatRecordLines(log::LogRecord::decode(bytes.data()), text)};
}

std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));  // a line without its CR LF shows up as such
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

class TrackTextTest : public ::testing::Test {
protected:
    // Exports an ordered image into "track.txt"; returns the step's result.
    int exportImage(const std::string &image)
    {
        writeFile(dir / "SortDB.sr", image);
        InDirectory in(dir.path());
        return log::exportTrackTextTo("track.txt");
    }
    std::string track() const { return readFile(dir / "track.txt"); }

    TempDir dir;
};

}  // namespace

TEST_F(TrackTextTest, WorkedExampleComesOutByteForByte)
{
    ASSERT_EQ(exportImage(imageWith({kWorkedExample})), 1);
    EXPECT_EQ(track(), kHeader + "--3,$GPGGA,094512.000,2503.1234,N,12134.5678,E,1,08,00.0,123.0,M,00.0,M,,*66\r\n"
                                 "--3,$GPRMC,094512.000,A,2503.1234,N,12134.5678,E,7.00,0.00,051226,,*04\r\n");
    EXPECT_EQ(readFile(dir / "Output_tmp.dat"),
              "--3,$GPGGA,094512.000,2503.1234,N,12134.5678,E,1,08,00.0,123.0,M,00.0,M,,*00\r\n"
              "--3,$GPRMC,094512.000,A,2503.1234,N,12134.5678,E,7.00,0.00,051226,,*00\r\n");
}

TEST_F(TrackTextTest, HeaderLinesAsTheToolExpectsThem)
{
    EXPECT_EQ(kHeader,
              "Tag,$GPGGA,UTC(hhmmss.sss),Latitude,N/S,Longitude,E/W,Fix quality,Fix quality,Horizontal dilution of "
              "position,Altitude,Height of geoid,,Checksum\r\n"
              "Tag,$GPRMC,UTC(hhmmss.sss),A,Latitude,N/S,Longitude,E/W,Speed(knots),Course(degrees),Date(ddmmyy),,"
              "Checksum\r\n");
}

struct FieldCase {
    const char *name;
    RecordFields fields;
    const char *gga;  // the lines as pass 1 writes them, placeholder checksums
    const char *rmc;
};

void PrintTo(const FieldCase &c, std::ostream *os) { *os << c.name; }

class FieldFormatTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldFormatTest, Lines)
{
    EXPECT_EQ(linesOf(GetParam().fields), std::string(GetParam().gga) + "\r\n" + GetParam().rmc + "\r\n");
}

namespace {
constexpr uint32_t kLat = 25031234, kLon = 121345678;
const uint32_t kNoon = utcStamp(2026, 12, 5, 12, 0, 0);
}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldFormatTest,
    ::testing::Values(FieldCase{"Mark0",
                                {kLon, kLat, kNoon, 5, 1, 0},
                                "--0,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "--0,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"Mark7",
                                {kLon, kLat, kNoon, 5, 1, 7},
                                "--7,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "--7,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"Mark42",
                                {kLon, kLat, kNoon, 5, 1, 42},
                                "-42,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "-42,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"Mark254",
                                {kLon, kLat, kNoon, 5, 1, 254},
                                "254,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "254,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"NoMark",
                                {kLon, kLat, kNoon, 5, 1, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"ZeroNorthZeroWest",
                                {kSouth | 0, 0, kNoon, 5, 1, 0xFF},
                                "---,$GPGGA,120000.000,0000.0000,N,00000.0000,W,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,0000.0000,N,00000.0000,W,1.00,0.00,051226,,*00"},
                      FieldCase{"SouthWest",
                                {kSouth | 58228960, kSouth | 33554940, kNoon, 5, 1, 0xFF},
                                "---,$GPGGA,120000.000,3355.4940,S,05822.8960,W,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,3355.4940,S,05822.8960,W,1.00,0.00,051226,,*00"},
                      FieldCase{"SouthEastSmallLongitude",
                                {120500, kSouth | 3000, kNoon, 5, 1, 0xFF},
                                "---,$GPGGA,120000.000,0000.3000,S,00012.0500,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,0000.3000,S,00012.0500,E,1.00,0.00,051226,,*00"},
                      FieldCase{"FractionsWithLeadingZeros",
                                {179000001, 25030012, kNoon, 5, 1, 0xFF},
                                "---,$GPGGA,120000.000,2503.0012,N,17900.0001,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.0012,N,17900.0001,E,1.00,0.00,051226,,*00"},
                      FieldCase{"OutOfRangeWrittenInFull",
                                {0x7FFFFFFF, 0x7FFFFFFF, kNoon, 5, 1, 0xFF},
                                "---,$GPGGA,120000.000,214748.3647,N,214748.3647,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,214748.3647,N,214748.3647,E,1.00,0.00,051226,,*00"},
                      FieldCase{"AltitudeMinus7",
                                {kLon, kLat, kNoon, static_cast<uint16_t>(-7), 1, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,-7.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"AltitudeZero",
                                {kLon, kLat, kNoon, 0, 1, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,0.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"NoAltitude",
                                {kLon, kLat, kNoon, 0xFFFF, 1, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,00000,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"AltitudeExtremes",
                                {kLon, kLat, kNoon, 0x8000, 1, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,-32768.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,051226,,*00"},
                      FieldCase{"MidnightFirstOfJanuary2003",
                                {kLon, kLat, utcStamp(2003, 1, 1, 0, 0, 0), 5, 1, 0xFF},
                                "---,$GPGGA,000000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,000000.000,A,2503.1234,N,12134.5678,E,1.00,0.00,010103,,*00"},
                      FieldCase{"LastSecondOfTheYear",
                                {kLon, kLat, utcStamp(2025, 12, 31, 23, 59, 59), 5, 1, 0xFF},
                                "---,$GPGGA,235959.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,235959.000,A,2503.1234,N,12134.5678,E,1.00,0.00,311225,,*00"},
                      FieldCase{"SpeedZero",
                                {kLon, kLat, kNoon, 5, 0, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,0.00,0.00,051226,,*00"},
                      FieldCase{"Speed255",
                                {kLon, kLat, kNoon, 5, 255, 0xFF},
                                "---,$GPGGA,120000.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,120000.000,A,2503.1234,N,12134.5678,E,255.00,0.00,051226,,*00"},
                      FieldCase{"StampAllOnesStillTwoDigitFields",
                                {kLon, kLat, 0xFFFFFFFF, 5, 1, 0xFF},
                                "---,$GPGGA,316363.000,2503.1234,N,12134.5678,E,1,08,00.0,5.0,M,00.0,M,,*00",
                                "---,$GPRMC,316363.000,A,2503.1234,N,12134.5678,E,1.00,0.00,311563,,*00"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ChecksumFillerTest, SameResultWhateverThePieces)
{
    const std::string text = linesOf(kWorkedExample) + linesOf({kSouth | 1, kSouth | 2, 0, 0xFFFF, 0, 0xFF});
    std::string whole(text.size() + 2, '\0');
    whole.resize(
        static_cast<size_t>(log::ChecksumFiller().fill(text.data(), text.size(), whole.data()) - whole.data()));
    const std::string workedExample = "--3,$GPGGA,094512.000,2503.1234,N,12134.5678,E,1,08,00.0,123.0,M,00.0,M,,*66\r\n"
                                      "--3,$GPRMC,094512.000,A,2503.1234,N,12134.5678,E,7.00,0.00,051226,,*04\r\n";
    EXPECT_EQ(whole.substr(0, workedExample.size()), workedExample);
    for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}}) {
        log::ChecksumFiller filler;
        std::string pieces;
        for (size_t at = 0; at < text.size(); at += piece) {
            char out[16];
            const size_t n = std::min(piece, text.size() - at);
            pieces.append(out, filler.fill(text.data() + at, n, out));
        }
        EXPECT_EQ(pieces, whole) << "pieces of " << piece;
    }
}

TEST_F(TrackTextTest, FullLogEveryLineWithItsChecksum)
{
    const auto generated = sim::generateLog(sim::LogShape::full, 7);
    ASSERT_EQ(exportImage({generated.image.begin(), generated.image.end()}), 1);
    const auto lines = splitLines(track());
    ASSERT_EQ(lines.size(), 2 + 2 * kImageRecords);
    EXPECT_EQ(lines[0] + "\r\n" + lines[1] + "\r\n", kHeader);
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        const size_t dollar = line.find('$');
        const size_t star = line.find('*');
        ASSERT_EQ(dollar, 4u) << line;
        ASSERT_EQ(star, line.size() - 3) << line;
        uint8_t sum = 0;
        for (size_t k = dollar + 1; k < star; ++k) sum ^= static_cast<uint8_t>(line[k]);
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", sum);
        ASSERT_EQ(line.substr(star + 1), expected) << "line " << i << ": " << line;
        ASSERT_EQ(line.compare(4, 7, i % 2 == 0 ? "$GPGGA," : "$GPRMC,"), 0) << line;
    }
}

TEST_F(TrackTextTest, EmptyLogGivesTheHeaderLinesAlone)
{
    ASSERT_EQ(exportImage(imageWith({})), 1);
    EXPECT_EQ(track(), kHeader);
    EXPECT_EQ(readFile(dir / "Output_tmp.dat"), "");
}

TEST_F(TrackTextTest, ShortInputShowsNothingOfAnEarlierImage)
{
    // A long log first, then an input of two records: the rest counts as empty.
    const auto generated = sim::generateLog(sim::LogShape::full, 3);
    ASSERT_EQ(exportImage({generated.image.begin(), generated.image.end()}), 1);
    const std::string twoRecords = imageWith({kWorkedExample, kWorkedExample}).substr(0, 32);
    ASSERT_EQ(exportImage(twoRecords), 1);
    EXPECT_EQ(splitLines(track()).size(), 2u + 4u);
}

TEST_F(TrackTextTest, LongInputIsCutAtOneImage)
{
    std::string image(kImageBytes, '\0');  // every slot used: longitude 0
    const auto extra = recordBytes(kWorkedExample);
    for (int i = 0; i < 100; ++i) image.append(reinterpret_cast<const char *>(extra.data()), 16);
    ASSERT_EQ(exportImage(image), 1);
    const auto lines = splitLines(track());
    ASSERT_EQ(lines.size(), 2 + 2 * kImageRecords);
    EXPECT_EQ(lines.back().substr(0, 4), "--0,") << "no record from beyond the image";
}

TEST_F(TrackTextTest, MissingSortedFileGivesTenAndWritesNothing)
{
    InDirectory in(dir.path());
    EXPECT_EQ(log::exportTrackTextTo("track.txt"), 10);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST_F(TrackTextTest, TemporaryFileInTheWayGivesEightAndKeepsAnEarlierTrack)
{
    writeFile(dir / "track.txt", "earlier");
    std::filesystem::create_directory(dir / "Output_tmp.dat");
    EXPECT_EQ(exportImage(imageWith({kWorkedExample})), 8);
    EXPECT_EQ(track(), "earlier");
}

TEST_F(TrackTextTest, OutputFileInTheWayGivesEightAndKeepsTheTemporaryFile)
{
    std::filesystem::create_directory(dir / "track.txt");
    EXPECT_EQ(exportImage(imageWith({kWorkedExample})), 8);
    EXPECT_EQ(splitLines(readFile(dir / "Output_tmp.dat")).size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(dir / "SortDB.sr"));
}
