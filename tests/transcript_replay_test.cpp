// A session with the logger, written down by the library with
// TRK7700_TRACE, and played back by the simulator: the library gives the same
// results and the same track text against the recording as against the
// logger itself. This is how a failure with a real logger becomes a test.
#include "frame/trace.h"
#include "sim/track_generator.h"
#include "sim/transcript.h"
#include "support/device_fixture.h"
#include "support/log_files.h"

#include <filesystem>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

struct SessionResults {
    std::vector<int32_t> results;
    int32_t serialNumber = 0;
    std::string version;
    int32_t time = 0, distance = 0;
    std::string track;
    bool operator==(const SessionResults &) const = default;
};

class TranscriptReplayTest : public DeviceTest {
protected:
    SessionResults session(const std::filesystem::path &track)
    {
        SessionResults r;
        char version[8] = "";
        uint8_t vibration = 0, tag = 0, minSpeed = 0;
        r.results.push_back(QZ_TRK7700_INTO_DUMP_MODE(kCom));
        r.results.push_back(QZ_TRK7700_READ_DEVICE_INFORMATION(kCom, &r.serialNumber, version));
        r.results.push_back(QZ_TRK7700_READ_SETTING_VALUE(kCom, &r.time, &r.distance, &vibration, &tag, &minSpeed));
        r.results.push_back(QZ_TRK7700_DUMP_DB(kCom, track.c_str()));
        r.results.push_back(QZ_TRK7700_EXIT_DUMP_MODE());
        r.version = version;
        r.track = readFile(track);
        return r;
    }
};

TEST_F(TranscriptReplayTest, ARecordedSessionPlaysBackWithTheSameResults)
{
    logger->withState([](sim::DeviceState &state) {
        state.logImage = sim::generateLog(sim::LogShape::marks, 61).image;
        state.serialNumber = 4242;
    });
    const auto transcript = dir / "session.trace";
    trace::setFileForTesting(transcript.string());
    const SessionResults recorded = session(dir / "recorded.txt");
    trace::setFileForTesting("");
    ASSERT_EQ(recorded.results, (std::vector<int32_t>{24, 29, 22, 2, 25}));
    ASSERT_GT(recorded.track.size(), 10000u);

    const std::string text = readFile(transcript);
    EXPECT_NE(text.find("= QZ_TRK7700_DUMP_DB 2 return_dump_db_successful"), std::string::npos);
    EXPECT_NE(text.find("# COM3 opened"), std::string::npos);

    std::string error;
    auto sessions = sim::readTranscript(transcript.string(), error);
    ASSERT_EQ(sessions.size(), 1u) << error;
    EXPECT_EQ(sessions[0].exchanges.size(), 5u) << "greeting, information, settings, log, exit";

    // The logger itself is gone; the recording answers on the same COM number.
    logger.reset();
    sim::SimulatedLogger::Options options;
    options.portDirectory = portDir;
    options.comNumber = kCom;
    options.replay = std::move(sessions);
    sim::SimulatedLogger replay(options);
    replay.start();
    const SessionResults replayed = session(dir / "replayed.txt");
    EXPECT_EQ(replayed.results, recorded.results);
    EXPECT_EQ(replayed.serialNumber, 4242);
    EXPECT_EQ(replayed.version, recorded.version);
    EXPECT_EQ(replayed.time, recorded.time);
    EXPECT_TRUE(replayed.track == recorded.track);
}

TEST_F(TranscriptReplayTest, WhatHoldsNoSessionIsRefused)
{
    writeFile(dir / "results-only.trace", "2026-12-10T12:00:00.000Z = QZ_TRK7700_READ_DLL_VERSION 21 x\n");
    for (const char *name : {"missing.trace", "results-only.trace"}) {
        std::string error;
        EXPECT_TRUE(sim::readTranscript((dir / name).string(), error).empty()) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

}  // namespace
