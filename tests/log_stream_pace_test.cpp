// A log stream may pause but not trickle: StreamPace judges the bytes of the
// last minute against a tenth of the line rate, whatever the seconds value
// the clock starts at.
#include "log/stream_pace.h"

#include <gtest/gtest.h>
#include <vector>

using namespace trk7700::log;

namespace {

struct Stretch {
    int seconds;
    size_t bytesPerSecond;
};

// Feeds the stretches one read a second (two for a busy second) from the
// given seconds value on; whether the pace trickles at the end.
bool tricklesAfter(const std::vector<Stretch> &stretches, int firstSecond = 0)
{
    StreamPace pace;
    int second = firstSecond;
    for (const Stretch &s : stretches)
        for (int i = 0; i < s.seconds; ++i) {
            pace.add(s.bytesPerSecond / 2, second);
            pace.add(s.bytesPerSecond - s.bytesPerSecond / 2, second);
            second = (second + 1) % 60;
        }
    pace.add(0, second);  // the last second closes
    return pace.trickling();
}

}  // namespace

TEST(StreamPaceTest, APauseIsForgivenATrickleIsNot)
{
    const size_t line = kLineBytesPerSecond, tenth = kLineBytesPerSecond / 10;
    struct Case {
        const char *name;
        std::vector<Stretch> stream;
        bool trickles;
    } cases[] = {
        {"full rate for minutes", {{300, line}}, false},
        {"a 10 s pause in a full stream", {{100, line}, {10, 0}, {100, line}}, false},
        {"several pauses of 10 s", {{20, line}, {10, 0}, {20, line}, {10, 0}, {20, line}, {10, 0}}, false},
        {"a trickle of under a minute after the stream", {{100, line}, {50, 1}}, false},
        {"one byte now and then for a minute", {{100, line}, {60, 1}}, true},
        {"from the start a byte a second", {{60, 1}}, true},
        {"just under a tenth for a minute", {{60, tenth - 1}}, true},
        {"a tenth for a minute", {{60, tenth}}, false},
        {"a slow line, a fifth of the rate, for long", {{600, line / 5}}, false},
        {"a trickle, then the stream comes back", {{50, 1}, {20, line}}, false},
        {"silence for a minute after the stream", {{100, line}, {61, 0}}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tricklesAfter(c.stream), c.trickles);
        EXPECT_EQ(tricklesAfter(c.stream, 37), c.trickles) << "the minute wraps";
    }
}

TEST(StreamPaceTest, SecondsWithoutAReadCountAsNothing)
{
    // Reads that block for several seconds leave gaps in the seconds values.
    StreamPace pace;
    int second = 0;
    for (int i = 0; i < 100; ++i) pace.add(kLineBytesPerSecond, second = (second + 1) % 60);
    for (int i = 0; i < 20; ++i) pace.add(1, second = (second + 3) % 60);
    EXPECT_TRUE(pace.trickling());
}
