// The simulated logger's faults, checked where they are made: a table of
// replies, faults in force, and the exact chunks that go out on the line.
// No port is involved; the device tests show what the library makes of them.
#include "sim/reply_shaper.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <ostream>
#include <string>
#include <vector>

namespace trk7700::sim {

// Failures show each chunk's pause, hang-up and bytes.
void PrintTo(const OutputChunk &c, std::ostream *os)
{
    *os << "{pause " << c.pauseBeforeMs << (c.hangUp ? " hang-up" : "") << ",";
    for (uint8_t b : c.bytes) *os << ' ' << std::hex << std::setw(2) << std::setfill('0') << int(b) << std::dec;
    *os << '}';
}

}  // namespace trk7700::sim

using namespace trk7700::sim;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(const std::string &text) { return {text.begin(), text.end()}; }
Bytes slice(const Bytes &from, size_t begin, size_t end)
{
    return {from.begin() + long(begin), from.begin() + long(end)};
}
Bytes join(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What the logger sends, written out here rather than taken from the simulator.
const Bytes kMarker = bytes(std::string("QZ Update Over") + '\0');
const Bytes kMarkerNoZero = bytes("QZ Update Over");
const Bytes kReady = bytes(std::string("QZ GPS+BT") + '\0');
const Bytes kBanner = bytes("Ostravelle Tech. Co. TRK-7700\r\n");
const Bytes kOk = bytes(std::string("Checksum    OK") + '\0');
const Bytes kError = bytes(std::string("Checksum Error") + '\0');

const Bytes kData = bytes("0123456789");  // a 10-byte payload

constexpr int kDump = 0x60;
constexpr int kErase = 0x61;
constexpr int kInfo = 0x5B;
constexpr int kUpload = 0x55;
constexpr int kHandshake = static_cast<int>(FaultTarget::handshake);
constexpr int kBannerTarget = static_cast<int>(FaultTarget::banner);
constexpr int kAny = static_cast<int>(FaultTarget::anyReply);

Reply dataReply() { return {kDump, {ReplyPart::payload(kData), ReplyPart::endMarker()}}; }
Reply eraseReply() { return {kErase, {ReplyPart::endMarker(30)}}; }
Reply readyReply() { return {kHandshake, {ReplyPart::text(std::string("QZ GPS+BT") + '\0')}}; }
Reply verdictReply(bool checksumOk) { return {kUpload, {ReplyPart::verdict(checksumOk), ReplyPart::endMarker()}}; }
Reply bannerReply() { return {kBannerTarget, {ReplyPart::banner()}}; }
// The information reply: 72 bytes, 16 padding bytes, the end marker.
Bytes informationBytes()
{
    Bytes info(72);
    for (size_t i = 0; i < info.size(); ++i) info[i] = uint8_t(i);
    return info;
}
Reply informationReply()
{
    return {kInfo,
            {ReplyPart::payload(informationBytes()), ReplyPart::payload(Bytes(16, 0xEE)), ReplyPart::endMarker()}};
}

OutputChunk send(Bytes b, int pauseMs = 0) { return {std::move(b), pauseMs, false}; }
OutputChunk pause(int ms) { return {{}, ms, false}; }
OutputChunk hangUpAfter(int ms) { return {{}, ms, true}; }

Fault fault(FaultKind kind, int target = kDump, size_t atByte = 0, int pauseMs = 300, size_t count = 7)
{
    return {kind, target, atByte, pauseMs, count};
}

struct ShapeCase {
    const char *name;
    Reply reply;
    std::vector<Fault> faults;
    std::vector<OutputChunk> expected;
    bool acceptsUpload = false;
};

void PrintTo(const ShapeCase &c, std::ostream *os) { *os << c.name; }

class ReplyShaperTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ReplyShaperTest, SendsExactlyTheseChunks)
{
    const ShapeCase &c = GetParam();
    const ShapedReply shaped = shapeReply(c.reply, c.faults);
    EXPECT_EQ(shaped.chunks, c.expected);
    EXPECT_EQ(shaped.acceptsUpload, c.acceptsUpload);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Replies, ReplyShaperTest, ::testing::Values(
    // Without faults each part goes out as it is, the erase's marker after the erase's work.
    ShapeCase {"Plain", dataReply(), {}, {send(kData), send(kMarker)}},
    ShapeCase {"PlainErase", eraseReply(), {}, {send(kMarker, 30)}},
    ShapeCase {"PlainReady", readyReply(), {}, {send(kReady)}},
    ShapeCase {"PlainInformation", informationReply(), {},
               {send(informationBytes()), send(Bytes(16, 0xEE)), send(kMarker)}},

    // A fault strikes the reply it is aimed at, or every reply.
    ShapeCase {"SilenceElsewhereChangesNothing", dataReply(), {fault(FaultKind::silence, kErase)},
               {send(kData), send(kMarker)}},
    ShapeCase {"Silence", dataReply(), {fault(FaultKind::silence)}, {}},
    ShapeCase {"SilenceForAnyReply", dataReply(), {fault(FaultKind::silence, kAny)}, {}},

    // Before the reply.
    ShapeCase {"LateReply", dataReply(), {fault(FaultKind::lateReply, kDump, 0, 250)},
               {pause(250), send(kData), send(kMarker)}},
    ShapeCase {"Garbage", dataReply(), {fault(FaultKind::garbage, kDump, 0, 300, 3)},
               {send(strayPattern(3)), send(kData), send(kMarker)}},
    ShapeCase {"LateReplyThenGarbage",
               dataReply(), {fault(FaultKind::garbage, kDump, 0, 300, 2), fault(FaultKind::lateReply, kDump, 0, 40)},
               {pause(40), send(strayPattern(2)), send(kData), send(kMarker)}},

    // Inside the payload: at a given byte, or in the middle when none is given.
    ShapeCase {"StallAtByte", dataReply(), {fault(FaultKind::stall, kDump, 4, 700)},
               {send(slice(kData, 0, 4)), send(slice(kData, 4, 10), 700), send(kMarker)}},
    ShapeCase {"StallInTheMiddle", dataReply(), {fault(FaultKind::stall)},
               {send(slice(kData, 0, 5)), send(slice(kData, 5, 10), 300), send(kMarker)}},
    ShapeCase {"HangUp", dataReply(), {fault(FaultKind::hangup, kDump, 4, 50)},
               {send(slice(kData, 0, 4)), hangUpAfter(50)}},
    ShapeCase {"ShortReply", dataReply(), {fault(FaultKind::shortReply, kDump, 4)}, {send(slice(kData, 0, 4))}},
    ShapeCase {"ShortReplyBeforeAStallLaterOn", dataReply(),
               {fault(FaultKind::shortReply, kDump, 3), fault(FaultKind::stall, kDump, 6)},
               {send(slice(kData, 0, 3))}},
    ShapeCase {"StallBeforeAHangUpLaterOn", dataReply(),
               {fault(FaultKind::stall, kDump, 2, 100), fault(FaultKind::hangup, kDump, 6, 10)},
               {send(slice(kData, 0, 2)), send(slice(kData, 2, 6), 100), hangUpAfter(10)}},
    // Counted across the parts: the middle of 72 + 16 bytes lies in the first.
    ShapeCase {"StallCountsAcrossParts", informationReply(), {fault(FaultKind::stall, kInfo, 80, 20)},
               {send(informationBytes()), send(Bytes(8, 0xEE)), send(Bytes(8, 0xEE), 20), send(kMarker)}},

    // Line noise inside the reply.
    ShapeCase {"StrayBytesAtByte", dataReply(), {fault(FaultKind::strayBytes, kDump, 4, 300, 3)},
               {send(join(join(slice(kData, 0, 4), strayPattern(3)), slice(kData, 4, 10))), send(kMarker)}},
    ShapeCase {"StrayBytesInTheMiddle", informationReply(), {fault(FaultKind::strayBytes, kInfo, 0, 300, 2)},
               {send(join(join(slice(informationBytes(), 0, 44), strayPattern(2)), slice(informationBytes(), 44, 72))),
                send(Bytes(16, 0xEE)), send(kMarker)}},
    ShapeCase {"StrayBytesJustBeforeTheEndMarker", dataReply(), {fault(FaultKind::strayBytes, kDump, 10, 300, 3)},
               {send(kData), send(strayPattern(3)), send(kMarker)}},

    // The end marker.
    ShapeCase {"SplitEndMarker", dataReply(), {fault(FaultKind::splitEndMarker, kDump, 0, 300)},
               {send(kData), send(slice(kMarker, 0, 10)), send(slice(kMarker, 10, 15), 300)}},
    ShapeCase {"NoEndMarker", dataReply(), {fault(FaultKind::noEndMarker)}, {send(kData)}},
    ShapeCase {"LateEndMarker", dataReply(), {fault(FaultKind::lateEndMarker, kDump, 0, 400)},
               {send(kData), send(kMarker, 400)}},
    ShapeCase {"LateEndMarkerAfterTheErasesWork", eraseReply(), {fault(FaultKind::lateEndMarker, kErase, 0, 400)},
               {send(kMarker, 430)}},
    ShapeCase {"StrayBytesThenNoEndMarker", dataReply(),
               {fault(FaultKind::strayBytes, kDump, 10, 300, 1), fault(FaultKind::noEndMarker)},
               {send(kData), send(strayPattern(1))}},

    // Texts lose their zero byte; payload bytes keep theirs.
    ShapeCase {"ReadyWithoutZero", readyReply(), {fault(FaultKind::noTerminatingZero, kHandshake)},
               {send(bytes("QZ GPS+BT"))}},
    ShapeCase {"EndMarkerWithoutZero", {kDump, {ReplyPart::payload({1, 0}), ReplyPart::endMarker()}},
               {fault(FaultKind::noTerminatingZero)}, {send({1, 0}), send(kMarkerNoZero)}},

    // A reply that is the end marker alone suffers the fault inside the marker.
    ShapeCase {"EraseStall", eraseReply(), {fault(FaultKind::stall, kErase, 0, 500)},
               {send(slice(kMarker, 0, 7), 30), send(slice(kMarker, 7, 15), 500)}},
    ShapeCase {"EraseHangUp", eraseReply(), {fault(FaultKind::hangup, kErase, 3, 20)},
               {send(slice(kMarker, 0, 3), 30), hangUpAfter(20)}},
    ShapeCase {"EraseShortReply", eraseReply(), {fault(FaultKind::shortReply, kErase, 12)},
               {send(slice(kMarker, 0, 12), 30)}},
    ShapeCase {"EraseCutBeyondTheMarkerSendsItWhole", eraseReply(), {fault(FaultKind::shortReply, kErase, 99)},
               {send(kMarker, 30)}},
    ShapeCase {"EraseSplitEndMarker", eraseReply(), {fault(FaultKind::splitEndMarker, kErase, 0, 200)},
               {send(slice(kMarker, 0, 10), 30), send(slice(kMarker, 10, 15), 200)}},

    // An upload's verdict.
    ShapeCase {"VerdictOk", verdictReply(true), {}, {send(kOk), send(kMarker)}, true},
    ShapeCase {"VerdictChecksumMismatch", verdictReply(false), {}, {send(kError), send(kMarker)}, false},
    ShapeCase {"ChecksumErrorWhateverItHeld", verdictReply(true), {fault(FaultKind::checksumError, kUpload)},
               {send(kError), send(kMarker)}, false},
    ShapeCase {"NoVerdict", verdictReply(true), {fault(FaultKind::noVerdict, kUpload)}, {}, false},
    ShapeCase {"EndMarkerOnly", verdictReply(true), {fault(FaultKind::endMarkerOnly, kUpload)}, {send(kMarker)}, true},
    ShapeCase {"SilentVerdictStillTakesTheUpload", verdictReply(true), {fault(FaultKind::silence, kUpload)}, {}, true},
    ShapeCase {"VerdictWithoutZero", verdictReply(true), {fault(FaultKind::noTerminatingZero, kUpload)},
               {send(bytes("Checksum    OK")), send(kMarkerNoZero)}, true},
    ShapeCase {"VerdictFaultsLeaveOtherRepliesAlone", dataReply(),
               {fault(FaultKind::noVerdict, kAny), fault(FaultKind::checksumError, kAny),
                fault(FaultKind::endMarkerOnly, kAny)},
               {send(kData), send(kMarker)}},

    // The banner: silence and noise only when aimed at it, the zero byte also for any reply.
    ShapeCase {"Banner", bannerReply(), {}, {send(kBanner)}},
    ShapeCase {"BannerSilenced", bannerReply(), {fault(FaultKind::silence, kBannerTarget)}, {}},
    ShapeCase {"BannerOutlivesSilenceForAnyReply", bannerReply(), {fault(FaultKind::silence, kAny)}, {send(kBanner)}},
    ShapeCase {"NulBeforeBanner", bannerReply(), {fault(FaultKind::nulBeforeBanner, kAny)},
               {send(join({0}, kBanner))}},
    ShapeCase {"StaleBytesBehindBanner", bannerReply(), {fault(FaultKind::strayBytes, kBannerTarget, 0, 300, 4)},
               {send(join(kBanner, strayPattern(4)))}},
    ShapeCase {"BannerIgnoresNoiseForAnyReply", bannerReply(),
               {fault(FaultKind::strayBytes, kAny), fault(FaultKind::garbage, kAny), fault(FaultKind::stall, kAny)},
               {send(kBanner)}}),
    [](const auto &info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
