#include "sim/reply_shaper.h"

#include "sim/logger_texts.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace trk7700::sim {

ReplyPart ReplyPart::banner() { return {Kind::banner, bytesOf(kBannerText)}; }
ReplyPart ReplyPart::text(const std::string &text) { return {Kind::text, bytesOf(text)}; }
ReplyPart ReplyPart::payload(std::vector<uint8_t> bytes) { return {Kind::payload, std::move(bytes)}; }
ReplyPart ReplyPart::verdict(bool checksumOk) { return {Kind::verdict, {}, 0, checksumOk}; }
ReplyPart ReplyPart::endMarker(int pauseBeforeMs) { return {Kind::endMarker, bytesOf(kEndMarkerText), pauseBeforeMs}; }

std::vector<uint8_t> strayPattern(size_t count)
{
    std::vector<uint8_t> junk(count);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(0xA5 ^ (i * 37));
    return junk;
}

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kAnyReply = static_cast<int>(FaultTarget::anyReply);
constexpr int kBanner = static_cast<int>(FaultTarget::banner);

// The faults that strike one reply: those aimed at its target and those aimed
// at any reply, in the order they were given.
class FaultSet {
public:
    FaultSet(const std::vector<Fault> &active, int target)
    {
        std::copy_if(active.begin(), active.end(), std::back_inserter(faults_),
                     [&](const Fault &f) { return f.target == target || f.target == kAnyReply; });
    }

    // The first fault of that kind, or null.
    const Fault *find(FaultKind kind) const
    {
        const auto it = std::find_if(faults_.begin(), faults_.end(), [&](const Fault &f) { return f.kind == kind; });
        return it == faults_.end() ? nullptr : &*it;
    }
    bool has(FaultKind kind) const { return find(kind) != nullptr; }

private:
    std::vector<Fault> faults_;
};

Bytes slice(const Bytes &bytes, size_t from, size_t to)
{
    return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(to));
}

// The banner goes out in one piece. Silence and line noise strike it only when
// aimed at the banner itself, so that a fault meant for every reply still lets
// the library find the logger.
ShapedReply shapeBanner(const Reply &reply, const std::vector<Fault> &active)
{
    bool silent = false, zeroFirst = false;
    size_t strayCount = 0;
    for (const auto &f : active) {
        if (f.target != kBanner && f.target != kAnyReply) continue;
        if (f.kind == FaultKind::silence && f.target == kBanner) silent = true;
        if (f.kind == FaultKind::nulBeforeBanner) zeroFirst = true;
        if (f.kind == FaultKind::strayBytes && f.target == kBanner) strayCount = f.garbageCount;
    }
    ShapedReply shaped;
    if (silent) return shaped;
    Bytes bytes;
    if (zeroFirst) bytes.push_back(0);
    for (const auto &part : reply.parts) bytes.insert(bytes.end(), part.bytes.begin(), part.bytes.end());
    const Bytes stale = strayPattern(strayCount);
    bytes.insert(bytes.end(), stale.begin(), stale.end());
    shaped.chunks.push_back({std::move(bytes)});
    return shaped;
}

// An upload's verdict: a fault can turn it into a refusal, leave out its
// text, or leave out the whole reply. Gives false when nothing is to be sent;
// the verdict part, if kept, becomes the text the logger sends.
bool settleVerdict(std::vector<ReplyPart> &parts, const FaultSet &faults, bool &acceptsUpload)
{
    const auto verdict =
        std::find_if(parts.begin(), parts.end(), [](const ReplyPart &p) { return p.kind == ReplyPart::Kind::verdict; });
    if (verdict == parts.end()) return true;
    if (faults.has(FaultKind::noVerdict)) return false;
    acceptsUpload = verdict->checksumOk && !faults.has(FaultKind::checksumError);
    if (faults.has(FaultKind::endMarkerOnly)) {
        parts.erase(verdict);
    } else {
        verdict->kind = ReplyPart::Kind::text;
        verdict->bytes = bytesOf(acceptsUpload ? kChecksumOkText : kChecksumErrorText);
    }
    return true;
}

// The parts of one reply on their way out. Stall, hang-up, cut and noise
// count the payload bytes across the whole reply.
class PartShaper {
public:
    PartShaper(const FaultSet &faults, const std::vector<ReplyPart> &parts, std::vector<OutputChunk> &out)
        : faults_(faults), out_(out), noise_(faults.find(FaultKind::strayBytes)), stall_(faults.find(FaultKind::stall)),
          hangup_(faults.find(FaultKind::hangup)), cutShort_(faults.find(FaultKind::shortReply))
    {
        for (const auto &p : parts)
            if (p.kind == ReplyPart::Kind::payload || p.kind == ReplyPart::Kind::text) payloadTotal_ += p.bytes.size();
    }

    // Each gives false when the reply ends with this part.
    bool endMarker(const ReplyPart &part);
    bool data(const ReplyPart &part);

private:
    size_t positionOf(const Fault &f) const { return f.atByte != 0 ? f.atByte : payloadTotal_ / 2; }

    const FaultSet &faults_;
    std::vector<OutputChunk> &out_;
    const Fault *noise_;
    const Fault *stall_;
    const Fault *hangup_;
    const Fault *cutShort_;
    size_t payloadTotal_ = 0;
    size_t position_ = 0;  // payload bytes of the reply before the next part
};

bool PartShaper::endMarker(const ReplyPart &part)
{
    if (noise_ && payloadTotal_ > 0 && positionOf(*noise_) >= payloadTotal_)
        out_.push_back({strayPattern(noise_->garbageCount)});
    int pauseBefore = part.pauseBeforeMs;
    if (const Fault *late = faults_.find(FaultKind::lateEndMarker)) pauseBefore += late->pauseMs;
    if (faults_.has(FaultKind::noEndMarker)) return true;
    Bytes bytes = part.bytes;
    if (faults_.has(FaultKind::noTerminatingZero)) bytes.pop_back();
    // A reply that is the end marker alone (the erase's) suffers a cut, a
    // hang-up or a stall inside the marker.
    const Fault *inside = payloadTotal_ > 0 ? nullptr : cutShort_ ? cutShort_ : hangup_ ? hangup_ : stall_;
    if (inside) {
        const size_t at = inside->atByte != 0 ? std::min(inside->atByte, bytes.size()) : bytes.size() / 2;
        out_.push_back({slice(bytes, 0, at), pauseBefore});
        if (inside == stall_) {
            out_.push_back({slice(bytes, at, bytes.size()), stall_->pauseMs});
            return true;
        }
        if (inside == hangup_) out_.push_back({{}, hangup_->pauseMs, true});
        return false;
    }
    if (const Fault *split = faults_.find(FaultKind::splitEndMarker)) {
        out_.push_back({slice(bytes, 0, 10), pauseBefore});
        out_.push_back({slice(bytes, 10, bytes.size()), split->pauseMs});
    } else {
        out_.push_back({std::move(bytes), pauseBefore});
    }
    return true;
}

bool PartShaper::data(const ReplyPart &part)
{
    Bytes bytes = part.bytes;
    if (part.kind == ReplyPart::Kind::text && faults_.has(FaultKind::noTerminatingZero) && !bytes.empty() &&
        bytes.back() == 0)
        bytes.pop_back();
    const size_t begin = position_;
    const size_t end = position_ + bytes.size();
    position_ = end;
    // Line noise: extra bytes inside the part; the cuts below count the reply's own bytes.
    Bytes stray;
    size_t strayAt = SIZE_MAX;
    if (noise_) {
        const size_t at = positionOf(*noise_);
        if (at >= begin && at < end) {
            stray = strayPattern(noise_->garbageCount);
            strayAt = at - begin;
        }
    }
    // Where the part ends early.
    size_t cut = bytes.size();
    bool endsHere = false;
    if (cutShort_) {
        const size_t at = positionOf(*cutShort_);
        if (at < end) {
            cut = at > begin ? at - begin : 0;
            endsHere = true;
        }
    }
    bool hangupHere = false;
    if (hangup_) {
        const size_t at = positionOf(*hangup_);
        if (at >= begin && at < end) {
            cut = std::min(cut, at - begin);
            hangupHere = true;
        }
    }
    size_t stallAt = SIZE_MAX;
    if (stall_) {
        const size_t at = positionOf(*stall_);
        if (at >= begin && at < end && at - begin < cut) stallAt = at - begin;
    }
    if (stallAt != SIZE_MAX) {
        out_.push_back({slice(bytes, 0, stallAt), part.pauseBeforeMs});
        out_.push_back({slice(bytes, stallAt, cut), stall_->pauseMs});
    } else {
        bytes.resize(cut);
        if (strayAt <= bytes.size())
            bytes.insert(bytes.begin() + static_cast<long>(strayAt), stray.begin(), stray.end());
        out_.push_back({std::move(bytes), part.pauseBeforeMs});
    }
    if (hangupHere) {
        out_.push_back({{}, hangup_->pauseMs, true});
        return false;
    }
    return !endsHere;
}

}  // namespace

ShapedReply shapeReply(const Reply &reply, const std::vector<Fault> &activeFaults)
{
    if (reply.target == kBanner) return shapeBanner(reply, activeFaults);

    const FaultSet faults(activeFaults, reply.target);
    ShapedReply shaped;
    std::vector<ReplyPart> parts = reply.parts;
    if (!settleVerdict(parts, faults, shaped.acceptsUpload)) return shaped;
    if (faults.has(FaultKind::silence)) return shaped;

    // Before the reply.
    if (const Fault *late = faults.find(FaultKind::lateReply)) shaped.chunks.push_back({{}, late->pauseMs});
    if (const Fault *garbage = faults.find(FaultKind::garbage))
        shaped.chunks.push_back({strayPattern(garbage->garbageCount)});

    PartShaper shaper(faults, parts, shaped.chunks);
    for (const auto &part : parts) {
        const bool goesOn = part.kind == ReplyPart::Kind::endMarker ? shaper.endMarker(part) : shaper.data(part);
        if (!goesOn) break;
    }
    return shaped;
}

}  // namespace trk7700::sim
