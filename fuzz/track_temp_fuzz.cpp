// "Output_tmp.dat" of any content through the second pass of the export,
// which puts the real checksums in. The result is compared with the rule
// applied byte by byte: '$' starts a sum, '*' is followed by the sum's two
// hexadecimal digits in place of the next two bytes, and the byte after those
// is copied outside the sum. The filler is also fed the input in pieces of
// several sizes, each with exactly the output room it promises to need.
#include "fuzz_support.h"
#include "log/track_text.h"

#include <vector>

using namespace trk7700;
using namespace trk7700::fuzzing;

namespace {

std::string withChecksums(const uint8_t *in, size_t size)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    uint8_t sum = 0;
    size_t i = 0;
    while (i < size) {
        const char c = static_cast<char>(in[i++]);
        out += c;
        if (c == '$') {
            sum = 0;
        } else if (c == '*') {
            out += kHex[sum >> 4];
            out += kHex[sum & 0xF];
            i += 2;  // the placeholder
            if (i < size) out += static_cast<char>(in[i++]);
        } else {
            sum ^= static_cast<uint8_t>(c);
        }
    }
    return out;
}

std::string filledInPieces(const uint8_t *in, size_t size, size_t pieceSize)
{
    log::ChecksumFiller filler;
    std::string out;
    for (size_t at = 0; at < size; at += pieceSize) {
        const size_t count = std::min(pieceSize, size - at);
        std::vector<char> room(count + 2);
        char *end = filler.fill(reinterpret_cast<const char *>(in + at), count, room.data());
        out.append(room.data(), static_cast<size_t>(end - room.data()));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string expected = withChecksums(data, size);
    for (size_t pieceSize : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{64}, size + 1})
        FUZZ_CHECK(filledInPieces(data, size, pieceSize) == expected);

    const auto folder = freshFolder("temp");
    const InFolder in(folder);
    writeWhole(folder / log::kTrackTempFile, data, size);
    FUZZ_CHECK(log::writeTrackText("track.txt") == 1);
    FUZZ_CHECK(readWhole(folder / "track.txt") == std::string(log::kGgaHeaderLine) + log::kRmcHeaderLine + expected);
    return 0;
}
