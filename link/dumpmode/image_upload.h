#pragma once
// The one way a large block goes to the logger: a 7-byte header (two code
// bytes, the length, a checksum byte), the block in 64-byte pieces, then the
// logger's verdict followed by the end marker. Settings with voice prompts and
// firmware images both travel this way.
#include "dumpmode/dump_mode.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trk7700::dumpmode {

inline constexpr int kUploadPieceSize = 64;
inline constexpr int kVerdictTickLimit = 5;
// The logger's verdict texts, as it sends them.
inline constexpr char kChecksumOk[] = "Checksum    OK";     // 15 with NUL; changes nothing
inline constexpr char kChecksumError[] = "Checksum Error";  // 15 with NUL

enum class UploadVerdict {
    success,        // end marker without a "Checksum Error" before it
    checksumError,  // "Checksum Error", then the end marker
    noAnswer,       // no end marker within the verdict wait, or the port refused the bytes
};

enum class AfterEndMarker {
    finish,  // return as soon as the end marker is in
    settle,  // keep the verdict wait's tick count running to its limit first
             // (the logger is busy with a new firmware then)
};

// Exclusive-or of count bytes, starting from 0.
uint8_t xorChecksum(const uint8_t *bytes, size_t count);

UploadVerdict uploadImage(Command header, const std::vector<uint8_t> &image, uint8_t checksum,
                          AfterEndMarker after = AfterEndMarker::finish);

// Test seam (LinkState::testHooks): sees the size of every piece of an upload
// as it is written.
using PieceObserver = void (*)(int size);

}  // namespace trk7700::dumpmode
