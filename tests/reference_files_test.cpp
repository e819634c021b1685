// Reference files: small log images kept in tests/reference, each with the
// files a readout makes of it (the track text, the NMEA file of the whole log,
// the mark files and the marks as waypoints), compared byte for byte. With
// TRK_REGENERATE_REFERENCE=1 the test writes those files anew instead (see
// tests/reference/README.md); read the difference before committing it.
#include "conversion/track_conversion.h"
#include "conversion/track_export.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace trk7700;
using trk7700::testing::readFile;
using trk7700::testing::ScopedCurrentDirectory;
using trk7700::testing::TempDir;
using trk7700::testing::writeFile;

namespace {

const fs::path kReferenceFolder = fs::path(TRK_SOURCE_DIR) / "tests" / "reference";
// The log image of a case, as text: one line per slot that is not erased.
constexpr char kImageDescription[] = "image.hex";
// The marks as waypoints, the file that GPSBabel takes as its second input.
constexpr char kWaypointsFile[] = "marks.gpx";
constexpr char kTrackTextName[] = "Wayfolk.txt";

// Every case folder in tests/reference; what each shows is written at the
// head of its image.hex and in the README there.
const char *const kCases[] = {
    "empty-log",        "wrapped-ring", "records-at-the-end", "two-gaps",         "gap-in-unwrapped-log",
    "gap-among-newest", "marks",        "hemispheres",        "missing-altitude", "field-limits",
};

bool regenerating()
{
    const char *value = std::getenv("TRK_REGENERATE_REFERENCE");
    return value != nullptr && std::string(value) == "1";
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Expands an image description into the whole log image: every slot erased
// (all bytes 0xFF) except those listed. A line is the slot number and the
// record's 16 bytes as stored, in hexadecimal with any spaces between them;
// '#' starts a comment. Faults in the description are told with their line.
std::string expandImage(const fs::path &description, std::string &error)
{
    std::string image(log::kLogImageSize, '\xFF');
    std::ifstream in(description);
    if (!in) {
        error = description.string() + " cannot be read";
        return {};
    }
    std::vector<bool> listed(log::kRecordCount, false);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const std::string where = description.filename().string() + ":" + std::to_string(lineNumber) + ": ";
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string slotText;
        if (!(fields >> slotText)) continue;
        if (!slotText.empty() && slotText.back() == ':') slotText.pop_back();
        size_t slot = 0;
        if (slotText.empty() || slotText.size() > 6 || !std::all_of(slotText.begin(), slotText.end(), isDigit) ||
            (slot = std::stoul(slotText)) >= log::kRecordCount) {
            error = where + "'" + slotText + "' is no slot number (0 to 249855)";
            return {};
        }
        if (listed[slot]) {
            error = where + "slot " + slotText + " is listed twice";
            return {};
        }
        listed[slot] = true;
        std::string hex;
        for (std::string part; fields >> part;) hex += part;
        if (hex.size() != 2 * log::kRecordSize || !std::all_of(hex.begin(), hex.end(), isHexDigit)) {
            error = where + "a record is 16 bytes in 32 hexadecimal digits";
            return {};
        }
        for (size_t i = 0; i < log::kRecordSize; ++i)
            image[slot * log::kRecordSize + i] = static_cast<char>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    }
    return image;
}

// What a readout makes of a log image in folder: the library orders the ring
// and writes the track text (and removes its work files, as its download
// does), then the front end's conversion writes the NMEA file, the mark files
// and the waypoints of the marks.
void readOut(const std::string &image, const fs::path &folder)
{
    writeFile(folder / log::kRawLogFile, image);
    {
        ScopedCurrentDirectory inFolder(folder);
        ASSERT_EQ(log::SortLogImage(), 1);
        ASSERT_EQ(log::exportTrackTextTo(kTrackTextName), 1);
    }
    for (const char *workFile : {log::kRawLogFile, log::kSortedLogFile, log::kTrackTempFile})
        fs::remove(folder / workFile);

    const auto files = client::readoutFiles(folder.string(), "");
    ASSERT_EQ(files.trackText, (folder / kTrackTextName).string());
    const auto outcome = client::convertTrackText(files, /*perMark=*/true);
    ASSERT_TRUE(outcome.ok()) << outcome.failedPath;
    std::string error;
    const auto waypoints = client::markWaypoints(files.trackText, error);
    ASSERT_EQ(error, "");
    if (!waypoints.empty()) {
        ASSERT_TRUE(client::writeWaypointsGpx(waypoints, (folder / kWaypointsFile).string(), error)) << error;
    }
}

// The names of the files in a folder, sorted, leaving out the image description.
std::vector<std::string> resultFilesIn(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.path().filename() != kImageDescription) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The first line (CR LF or LF ended) in which two texts differ, for a message
// that shows the fault instead of two whole files.
std::string firstDifference(const std::string &expected, const std::string &actual)
{
    size_t lineStart = 0;
    int line = 1;
    const size_t common = std::min(expected.size(), actual.size());
    size_t at = 0;
    while (at < common && expected[at] == actual[at]) {
        if (expected[at] == '\n') {
            lineStart = at + 1;
            ++line;
        }
        ++at;
    }
    auto lineOf = [lineStart](const std::string &text) {
        if (lineStart >= text.size()) return std::string("(end of file)");
        const size_t end = text.find('\n', lineStart);
        return text.substr(lineStart, end == std::string::npos ? std::string::npos : end - lineStart + 1);
    };
    return "line " + std::to_string(line) + ", byte " + std::to_string(at) +
           "\n  expected: " + ::testing::PrintToString(lineOf(expected)) +
           "\n  actual:   " + ::testing::PrintToString(lineOf(actual));
}

// Replaces the expected files of a case with what the readout made.
void regenerate(const fs::path &caseFolder, const fs::path &made)
{
    for (const auto &name : resultFilesIn(caseFolder)) fs::remove(caseFolder / name);
    for (const auto &name : resultFilesIn(made)) fs::copy_file(made / name, caseFolder / name);
}

class ReferenceFilesTest : public ::testing::TestWithParam<const char *> {};

}  // namespace

TEST_P(ReferenceFilesTest, ReadoutMakesTheKeptFilesByteForByte)
{
    const fs::path caseFolder = kReferenceFolder / GetParam();
    std::string error;
    const std::string image = expandImage(caseFolder / kImageDescription, error);
    ASSERT_EQ(error, "");

    TempDir made;
    readOut(image, made.path());
    if (HasFatalFailure()) return;

    if (regenerating()) {
        regenerate(caseFolder, made.path());
        GTEST_SKIP() << "wrote the expected files of " << caseFolder << " anew; read them before committing";
    }
    const auto expectedNames = resultFilesIn(caseFolder);
    ASSERT_FALSE(expectedNames.empty()) << caseFolder
                                        << " holds no expected files: run with TRK_REGENERATE_REFERENCE=1";
    EXPECT_EQ(resultFilesIn(made.path()), expectedNames);
    for (const auto &name : expectedNames) {
        if (!fs::exists(made / name)) continue;  // told above
        const std::string expected = readFile(caseFolder / name);
        const std::string actual = readFile(made / name);
        EXPECT_TRUE(actual == expected) << name << " differs from the kept file, at "
                                        << firstDifference(expected, actual);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReferenceFilesTest, ::testing::ValuesIn(kCases), [](const auto &info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

// A case folder that the table above does not name would never be compared.
TEST(ReferenceFolderTest, EveryCaseFolderIsInTheTable)
{
    std::vector<std::string> folders;
    for (const auto &entry : fs::directory_iterator(kReferenceFolder))
        if (entry.is_directory()) folders.push_back(entry.path().filename().string());
    std::sort(folders.begin(), folders.end());
    std::vector<std::string> table(std::begin(kCases), std::end(kCases));
    std::sort(table.begin(), table.end());
    EXPECT_EQ(folders, table);
}

// The description's rules, so that a slip in a hand-written case is told, not
// taken as a different log.
TEST(ImageDescriptionTest, ListedSlotsTakeTheirBytesAndTheRestStaysErased)
{
    TempDir dir;
    writeFile(dir / "image.hex", "# a comment line\n"
                                 "     1  8e963b07 42f27d01 4c9b0a6b 7b00 07 03  # a comment\n"
                                 "249855: 00000000000000000000000000000000\r\n");
    std::string error;
    const std::string image = expandImage(dir / "image.hex", error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(image.size(), log::kLogImageSize);
    EXPECT_EQ(image.substr(0, 16), std::string(16, '\xFF'));
    EXPECT_EQ(image.substr(16, 16),
              std::string("\x8e\x96\x3b\x07\x42\xf2\x7d\x01\x4c\x9b\x0a\x6b\x7b\x00\x07\x03", 16));
    EXPECT_EQ(image.substr(32, 16), std::string(16, '\xFF'));
    EXPECT_EQ(image.substr(log::kLogImageSize - 16), std::string(16, '\0'));
    EXPECT_EQ(std::count(image.begin(), image.end(), '\xFF'), static_cast<long>(log::kLogImageSize - 32));
}

TEST(ImageDescriptionTest, FaultsAreToldWithTheirLine)
{
    struct Case {
        const char *text;
        const char *told;
    } cases[] = {
        {"249856 00000000000000000000000000000000\n", "image.hex:1: '249856' is no slot number"},
        {"99999999999999999999 00000000000000000000000000000000\n", "image.hex:1: '99999999999999999999' is no slot"},
        {"# first\nx1 00000000000000000000000000000000\n", "image.hex:2: 'x1' is no slot number"},
        {"3 0000000000000000000000000000000\n", "image.hex:1: a record is 16 bytes"},
        {"3 00000000000000000000000000000000 00\n", "image.hex:1: a record is 16 bytes"},
        {"3 0000000000000000000000000000000g\n", "image.hex:1: a record is 16 bytes"},
        {"3 00000000000000000000000000000000\n3 11111111111111111111111111111111\n",
         "image.hex:2: slot 3 is listed twice"},
    };
    for (const auto &c : cases) {
        TempDir dir;
        writeFile(dir / "image.hex", c.text);
        std::string error;
        expandImage(dir / "image.hex", error);
        EXPECT_EQ(error.rfind(c.told, 0), 0u) << "for " << ::testing::PrintToString(c.text) << " told: " << error;
    }
}
