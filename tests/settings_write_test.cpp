// Writing the settings: argument checks, the wave folder and files, the dump-mode
// test that comes only after them, and the image upload with its verdicts.
#include "dumpmode/dump_mode.h"
#include "frame/link_state.h"
#include "serial/serial_link.h"
#include "serial/tick_count.h"
#include "support/device_fixture.h"
#include "support/test_clocks.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <fstream>
#include <string>
#include <vector>

using namespace trk7700;
using namespace trk7700::testing;
using sim::Fault;
using sim::FaultKind;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kNotSet = 0xFFFFFFFF;
constexpr int kUploadCode = 0x55;
const std::array<const char *, 8> kWaveNames{"battery_low.wav", "BT_close.wav",   "BT_open.wav",
                                             "Error_Beep.wav",  "GPS_search.wav", "GPS_search_finished.wav",
                                             "OK_Beep.wav",     "OK1_Beep.wav"};

std::vector<uint8_t> waveBytes(size_t index, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(index * 31 + i * 7 + (i >> 8));
    return bytes;
}

// Writes the eight files with the given sizes (-1: leave the file out) and
// returns their bytes in the order the logger gets them.
std::vector<uint8_t> writeWaveSet(const fs::path &folder, const std::array<long, 8> &sizes)
{
    fs::create_directories(folder);
    std::vector<uint8_t> all;
    for (size_t i = 0; i < kWaveNames.size(); ++i) {
        if (sizes[i] < 0) continue;
        const auto bytes = waveBytes(i, static_cast<size_t>(sizes[i]));
        std::ofstream(folder / kWaveNames[i], std::ios::binary)
            .write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

std::array<long, 8> evenSizes(long each) { return {each, each, each, each, each, each, each, each}; }

uint8_t xorOf(const std::vector<uint8_t> &bytes)
{
    uint8_t x = 0;
    for (uint8_t b : bytes) x ^= b;
    return x;
}

std::vector<int> piecesSeen;
void recordPiece(int size) { piecesSeen.push_back(size); }

struct Settings {
    uint32_t time = 0;
    uint32_t distance = 0;
    int32_t vibration = 2;
    int32_t tag = 1;
    int32_t minSpeed = 0;
};

// The current directory is a temporary folder, and every call must leave it so.
class SettingsWriteTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        inTempDir.emplace(dir.path());
        start = fs::current_path();
        piecesSeen.clear();
    }
    void TearDown() override
    {
        inTempDir.reset();
        DeviceTest::TearDown();
    }

    int32_t write(const Settings &s, const std::string &folder)
    {
        const int32_t result =
            QZ_TRK7700_SETTING_DEVICE(kCom, s.time, s.distance, s.vibration, s.tag, folder.c_str(), s.minSpeed);
        EXPECT_EQ(fs::current_path(), start) << "current directory after result " << result;
        return result;
    }

    std::vector<uint8_t> uploadPayload() const
    {
        for (const auto &e : logger->events())
            if (e.kind == sim::WireEvent::Kind::uploadPayload) return e.bytes;
        return {};
    }

    std::optional<ScopedCurrentDirectory> inTempDir;
    fs::path start;
};

struct ValidationCase {
    uint32_t time;
    uint32_t distance;
    int32_t minSpeed;
    int32_t expected;  // 1: the checks pass
};

}  // namespace

TEST_F(SettingsWriteTest, ArgumentChecksComeFirstAndInTheirOrder)
{
    const ValidationCase cases[] = {
        {10, 10, 0, return_setting_value_error},
        {5000, 100, 0, return_setting_value_error},  // 15 before 19 and 20
        {5000, 100, 99, return_setting_value_error},
        {3600, 0, 0, 1},
        {3601, 0, 0, return_timeInterval_over_3600second_error},
        {3601, kNotSet, 21, return_timeInterval_over_3600second_error},  // 19 before 30
        {0, 3000, 0, 1},
        {0, 3001, 0, return_displacementinterval_over_3000meter_error},
        {kNotSet, 5000, 0, return_displacementinterval_over_3000meter_error},
        {5000, kNotSet, 0, return_timeInterval_over_3600second_error},
        {0, 0, 20, 1},
        {0, 0, 21, return_log_min_speed_over_20_knot_error},
        {kNotSet, kNotSet, 0x114, 1},  // only the low byte counts: 20
        {kNotSet, kNotSet, 0xFF, return_log_min_speed_over_20_knot_error},
        {1, kNotSet, 0, 1},
        {kNotSet, 1, 0, 1},
    };
    writeWaveSet(dir / "wav", evenSizes(100));
    for (const auto &c : cases) {
        const Settings s{c.time, c.distance, 2, 1, c.minSpeed};
        const std::string label =
            std::to_string(c.time) + " s, " + std::to_string(c.distance) + " m, speed " + std::to_string(c.minSpeed);
        // Without a wave folder: a passing check runs into the folder test.
        EXPECT_EQ(write(s, (dir / "missing").string()), c.expected == 1 ? return_error_wave_file_path : c.expected)
            << label;
        // With the files: a passing check runs into the dump-mode test.
        EXPECT_EQ(write(s, (dir / "wav").string()), c.expected == 1 ? return_not_dump_mode : c.expected) << label;
    }
    EXPECT_EQ(logger->openCount(), 0) << "nothing reaches the port outside dump mode";
}

struct WaveSetCase {
    const char *name;
    std::array<long, 8> sizes;
    int32_t expected;  // outside dump mode
};

TEST_F(SettingsWriteTest, WaveFilesAreCheckedBeforeDumpMode)
{
    std::array<long, 8> oneLarger = evenSizes(16415);
    oneLarger[3] += 8;
    std::array<long, 8> upToTheLimit = evenSizes(16415);
    upToTheLimit[7] += 7;
    std::array<long, 8> okBeepMissing = evenSizes(100);
    okBeepMissing[6] = -1;
    std::array<long, 8> tooLargeBeforeMissing = okBeepMissing;
    tooLargeBeforeMissing[0] = 131328;
    std::array<long, 8> firstMissing = evenSizes(100);
    firstMissing[0] = -1;
    std::array<long, 8> emptyBtOpen = evenSizes(100);
    emptyBtOpen[2] = 0;

    const WaveSetCase cases[] = {
        {"131,320 bytes", evenSizes(16415), return_not_dump_mode},
        {"131,327 bytes", upToTheLimit, return_not_dump_mode},
        {"131,328 bytes", oneLarger, return_file_size_over_128K_bytes},
        {"OK_Beep.wav missing", okBeepMissing, return_uncompleted_wave_files},
        {"too large before the missing file", tooLargeBeforeMissing, return_file_size_over_128K_bytes},
        {"battery_low.wav missing", firstMissing, return_uncompleted_wave_files},
        {"empty BT_open.wav", emptyBtOpen, return_not_dump_mode},
        {"all empty", evenSizes(0), return_not_dump_mode},
    };
    int n = 0;
    for (const auto &c : cases) {
        const fs::path folder = dir / ("set" + std::to_string(n++));
        writeWaveSet(folder, c.sizes);
        EXPECT_EQ(write(Settings{}, folder.string()), c.expected) << c.name;
    }

    fs::create_directories(dir / "folder" / "OK1_Beep.wav");
    writeWaveSet(dir / "folder", {1, 1, 1, 1, 1, 1, 1, -1});
    EXPECT_EQ(write(Settings{}, (dir / "folder").string()), return_uncompleted_wave_files)
        << "a folder in place of a file";
    EXPECT_EQ(logger->openCount(), 0);
}

TEST_F(SettingsWriteTest, FolderForms)
{
    writeWaveSet(dir / "prompts", evenSizes(10));
    writeWaveSet(dir.path(), evenSizes(10));
    // The same relative folder twice: the current directory was restored in between.
    EXPECT_EQ(write(Settings{}, "prompts/"), return_not_dump_mode);
    EXPECT_EQ(write(Settings{}, "prompts"), return_not_dump_mode);
    EXPECT_EQ(write(Settings{}, ""), return_not_dump_mode) << "empty: the current directory";
    EXPECT_EQ(QZ_TRK7700_SETTING_DEVICE(kCom, 0, 0, 0, 0, nullptr, 0), return_not_dump_mode);
    EXPECT_EQ(write(Settings{}, "no-such-folder"), return_error_wave_file_path);
    fs::remove(dir / "prompts" / "OK1_Beep.wav");
    EXPECT_EQ(write(Settings{}, "prompts"), return_uncompleted_wave_files);
}

TEST_F(SettingsWriteTest, LongFolderPathsWorkOrFailCleanly)
{
    fs::path deep = dir.path();
    for (int i = 0; i < 12; ++i) deep /= std::string(40, static_cast<char>('a' + i));
    writeWaveSet(deep, evenSizes(10));
    ASSERT_GT(deep.string().size(), 500u);
    EXPECT_EQ(write(Settings{}, deep.string()), return_not_dump_mode);
    EXPECT_EQ(write(Settings{}, dir.str() + "/" + std::string(5000, 'x')), return_error_wave_file_path);
    EXPECT_EQ(write(Settings{}, std::string(5000, 'y')), return_error_wave_file_path);

    connect();
    EXPECT_EQ(write(Settings{}, deep.string()), return_setting_device_successful);
}

TEST_F(SettingsWriteTest, UploadOfTenThousandWaveBytes)
{
    const auto wave = writeWaveSet(dir / "wav", evenSizes(1250));
    ASSERT_EQ(wave.size(), 10000u);
    connect();
    linkState().testHooks.pieceObserver = recordPiece;
    EXPECT_EQ(write(Settings{0, 0, 2, 1, 5}, "wav"), return_setting_device_successful);

    std::vector<uint8_t> record(256, 0xFF);
    record[8] = 2;
    record[24] = 1;
    record[25] = 5;
    std::vector<uint8_t> image = record;
    image.insert(image.end(), wave.begin(), wave.end());

    // On the wire: the memory-size query, the header with the length 10,256 and
    // the checksum of the whole image, then the image and nothing else.
    const std::vector<uint8_t> query{0x63, 0xB7, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> header{0x55, 0xAA, 0x10, 0x28, 0x00, 0x00, xorOf(image)};
    std::vector<uint8_t> expected = query;
    expected.insert(expected.end(), header.begin(), header.end());
    expected.insert(expected.end(), image.begin(), image.end());
    EXPECT_EQ(logger->receivedBytes(), expected);
    EXPECT_EQ(commandsReceived(), (std::vector<std::vector<uint8_t>>{query, header}));
    EXPECT_EQ(uploadPayload(), image);

    std::vector<int> pieces(160, 64);
    pieces.push_back(16);
    EXPECT_EQ(piecesSeen, pieces);

    const auto state = logger->snapshot();
    EXPECT_TRUE(std::equal(record.begin(), record.end(), state.settingsRecord.begin()));
    EXPECT_EQ(state.voiceData, wave);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode) << "a settings write leaves dump mode open";
}

TEST_F(SettingsWriteTest, EmptyFileLeavesNoGapInTheImage)
{
    std::array<long, 8> sizes = evenSizes(300);
    sizes[2] = 0;  // BT_open.wav
    writeWaveSet(dir / "wav", sizes);
    connect();
    EXPECT_EQ(write(Settings{}, "wav"), return_setting_device_successful);
    const auto sent = uploadPayload();
    ASSERT_EQ(sent.size(), 256u + 7 * 300);
    const auto btClose = waveBytes(1, 300);
    const auto errorBeep = waveBytes(3, 300);
    EXPECT_TRUE(std::equal(btClose.begin(), btClose.end(), sent.begin() + 256 + 300));
    EXPECT_TRUE(std::equal(errorBeep.begin(), errorBeep.end(), sent.begin() + 256 + 600));
}

struct RecordCase {
    Settings settings;
    std::array<uint8_t, 8> intervals;  // offsets 0..7 of the record
};

TEST_F(SettingsWriteTest, IntervalsNotSetAreStoredAsAllOnes)
{
    writeWaveSet(dir / "wav", evenSizes(20));
    connect();
    const RecordCase cases[] = {
        {{0, 0, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {{kNotSet, kNotSet, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {{3600, 0, 0, 0, 0}, {0x10, 0x0E, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        {{kNotSet, 3000, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF, 0xB8, 0x0B, 0, 0}},
    };
    for (const auto &c : cases) {
        const Settings s{c.settings.time, c.settings.distance, 0x107, 0x100, 0x214};
        ASSERT_EQ(write(s, "wav"), return_setting_device_successful);
        const auto record = logger->snapshot().settingsRecord;
        EXPECT_TRUE(std::equal(c.intervals.begin(), c.intervals.end(), record.begin()))
            << c.settings.time << " s, " << c.settings.distance << " m";
        EXPECT_EQ(record[8], 7) << "vibration stored as passed, low byte";
        EXPECT_EQ(record[24], 0);
        EXPECT_EQ(record[25], 20);
        EXPECT_TRUE(std::all_of(record.begin() + 9, record.begin() + 24, [](uint8_t b) { return b == 0xFF; }));
        EXPECT_TRUE(std::all_of(record.begin() + 26, record.end(), [](uint8_t b) { return b == 0xFF; }));
    }
    // Neither interval in force reads back as distance 50.
    ASSERT_EQ(write(Settings{0, 0, 0, 1, 0}, "wav"), return_setting_device_successful);
    int32_t time = 0, distance = 0;
    uint8_t vibration = 9, tag = 9, speed = 9;
    EXPECT_EQ(QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &speed),
              return_read_setting_value_successful);
    EXPECT_EQ(time, -1);
    EXPECT_EQ(distance, 50);
}

struct VerdictCase {
    const char *name;
    std::vector<Fault> faults;
    int32_t expected;
};

void PrintTo(const VerdictCase &c, std::ostream *os) { *os << c.name; }

class SettingsVerdictTest : public SettingsWriteTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(SettingsVerdictTest, ResultFollowsTheLoggersAnswer)
{
    writeWaveSet(dir / "wav", evenSizes(500));
    connect();
    linkState().testHooks.secondsSource = fastSeconds;
    logger->setFaults(GetParam().faults);
    EXPECT_EQ(write(Settings{}, "wav"), GetParam().expected);
    EXPECT_TRUE(linkState().dumpMode.inDumpMode) << "no verdict ends dump mode";
    EXPECT_TRUE(serial::portIsOpen());

    // The link still works afterwards.
    logger->clearFaults();
    int32_t time = 0, distance = 0;
    uint8_t vibration = 0, tag = 0, speed = 0;
    EXPECT_EQ(QZ_TRK7700_READ_SETTING_VALUE(kCom, &time, &distance, &vibration, &tag, &speed),
              return_read_setting_value_successful);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, SettingsVerdictTest,
    ::testing::Values(
        VerdictCase{"ChecksumOkThenEndMarker", {}, return_setting_device_successful},
        VerdictCase{"EndMarkerAlone", {Fault{FaultKind::endMarkerOnly, kUploadCode}}, return_setting_device_successful},
        VerdictCase{
            "ChecksumErrorThenEndMarker", {Fault{FaultKind::checksumError, kUploadCode}}, return_device_checksum_error},
        VerdictCase{"ChecksumErrorWithoutEndMarker",
                    {Fault{FaultKind::checksumError, kUploadCode}, Fault{FaultKind::noEndMarker, kUploadCode}},
                    return_device_time_out},
        VerdictCase{"ChecksumOkWithoutEndMarker", {Fault{FaultKind::noEndMarker, kUploadCode}}, return_device_time_out},
        VerdictCase{"NoVerdict", {Fault{FaultKind::noVerdict, kUploadCode}}, return_device_time_out},
        VerdictCase{"Silence", {Fault{FaultKind::silence, kUploadCode}}, return_device_time_out},
        VerdictCase{"SplitEndMarker", {Fault{FaultKind::splitEndMarker, kUploadCode, 0, 300}}, return_device_time_out}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SettingsWriteTest, NoVerdictGivesUpFourToFiveSecondsAfterTheLastByte)
{
    // The real clock, once: the verdict wait's tick limit is 5.
    writeWaveSet(dir / "wav", evenSizes(50));
    connect();
    logger->setFaults({Fault{FaultKind::noVerdict, kUploadCode}});
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(write(Settings{}, "wav"), return_device_time_out);
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(waited, std::chrono::milliseconds(3900));
    EXPECT_LT(waited, std::chrono::seconds(30)) << "guard against a hang";
}
