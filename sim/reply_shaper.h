#pragma once
// How faults shape what the logger sends. The device model says what a reply
// consists of (banner, payload, texts, verdict, end marker); shapeReply turns
// it, under the faults in force, into the chunks that go out on the line:
// bytes, pauses and the moment the device vanishes. It is a pure function, so
// every fault can be checked without a port. A new fault is a FaultKind here
// and a case in shapeReply.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trk7700::sim {

// Where a fault strikes.
enum class FaultTarget : int {
    anyReply = -1,
    banner = 0x100,
    handshake = 0x101,
    // or a command's first code byte (0x60 dump, 0x61 erase, 0x62 settings,
    // 0x63 memory size, 0x55 data upload, 0x5D firmware, 0x5B information, 0x64 GPS time)
};

enum class FaultKind {
    silence,  // the reply is not sent at all
    // stall, hangup and shortReply strike inside the end marker of a reply
    // that is the end marker alone (the erase's)
    stall,              // a pause of pauseMs at byte atByte of the reply's payload
    hangup,             // the device vanishes at byte atByte (the port then fails)
    garbage,            // garbageCount stray bytes before the reply
    shortReply,         // the payload ends after atByte bytes
    splitEndMarker,     // the end marker comes as 10 bytes, a pause, then 5
    noEndMarker,        // the end marker is left out
    noTerminatingZero,  // texts (ready reply, verdicts, end marker) lose their NUL
    checksumError,      // an upload is answered "Checksum Error" whatever it held
    noVerdict,          // an upload gets neither verdict nor end marker
    nulBeforeBanner,    // a zero byte precedes the banner
    endMarkerOnly,      // an upload is answered with the end marker alone, no checksum text
    lateReply,          // the whole reply comes only after pauseMs
    strayBytes,         // garbageCount stray bytes (line noise) inside the reply, before payload byte
                        // atByte (0: the middle; the payload's size: just before the end marker);
                        // for the banner: right behind it
    lateEndMarker,      // the end marker comes pauseMs after the payload
};

struct Fault {
    FaultKind kind;
    int target = static_cast<int>(FaultTarget::anyReply);
    size_t atByte = 0;  // for stall, hangup, shortReply; 0 means the middle
    int pauseMs = 300;  // for stall, splitEndMarker and lateReply; for hangup the time
                        // between the last byte and the hang-up (bytes still unread then are lost)
    size_t garbageCount = 7;
};

// One piece of a reply as the logger means to send it.
struct ReplyPart {
    enum class Kind {
        banner,     // the identification line sent on every open
        text,       // a protocol text with its terminating zero (the ready reply)
        payload,    // data: the log, the settings record, the device information, ...
        verdict,    // an upload's checksum verdict; its text is chosen when shaped
        endMarker,  // "QZ Update Over" with its zero
    };
    Kind kind;
    std::vector<uint8_t> bytes;
    int pauseBeforeMs = 0;    // the device works this long before the part (an erase)
    bool checksumOk = false;  // verdict only: whether the upload's checksum matched

    static ReplyPart banner();
    static ReplyPart text(const std::string &text);
    static ReplyPart payload(std::vector<uint8_t> bytes);
    static ReplyPart verdict(bool checksumOk);
    static ReplyPart endMarker(int pauseBeforeMs = 0);
};

struct Reply {
    int target;  // a FaultTarget or the command's first code byte: which faults apply
    std::vector<ReplyPart> parts;
};

// A piece of the output stream.
struct OutputChunk {
    std::vector<uint8_t> bytes;
    int pauseBeforeMs = 0;  // the line stays quiet this long first; pacing starts anew after it
    bool hangUp = false;    // after the pause the device vanishes instead of sending

    bool operator==(const OutputChunk &) const = default;
};

struct ShapedReply {
    std::vector<OutputChunk> chunks;
    // For an upload's reply: whether the logger keeps what it received, that
    // is, its verdict after the faults is "Checksum    OK" (even when that
    // verdict then never reaches the line).
    bool acceptsUpload = false;
};

ShapedReply shapeReply(const Reply &reply, const std::vector<Fault> &activeFaults);

// The bytes that stand for line noise or the rest of an earlier session.
std::vector<uint8_t> strayPattern(size_t count);

}  // namespace trk7700::sim
