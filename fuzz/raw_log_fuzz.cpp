// "DB.sr" of any length and content through the ordering and the export. The
// first byte says where the rest of the input lies in the file:
//   0: the file is the rest, usually shorter than one image;
//   1: the rest ends a whole image whose slots before it are empty, so that
//      the ring's wrap at the last slot is reached;
//   2: as 1, and the rest follows once more beyond the image (a file longer
//      than one image).
#include "fuzz_support.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "track_text_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace trk7700;
using namespace trk7700::fuzzing;

namespace {

constexpr size_t kImage = log::kLogImageSize;

// Where the ordered image must start: at the first used slot after the
// longest run of empty slots of the ring (runs may cross the end; of equal
// runs the one that begins lowest), at 0 when no slot or every slot is empty.
// Worked out here on the ring laid twice, independently of the library.
size_t oldestSlot(const uint8_t *image)
{
    const size_t n = log::kRecordCount;
    auto empty = [&](size_t i) { return isEmptySlot(image + (i % n) * log::kRecordSize); };
    size_t firstUsed = 0;
    while (firstUsed < n && empty(firstUsed)) ++firstUsed;
    if (firstUsed == n) return 0;
    size_t bestBegin = n, bestLength = 0;
    for (size_t i = firstUsed; i < firstUsed + n;) {
        if (!empty(i)) {
            ++i;
            continue;
        }
        size_t j = i;
        while (empty(j)) ++j;
        const size_t length = j - i, begin = i % n;
        if (length > bestLength || (length == bestLength && begin < bestBegin)) {
            bestLength = length;
            bestBegin = begin;
        }
        i = j;
    }
    return bestLength == 0 ? 0 : (bestBegin + bestLength) % n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const int placement = data[0] % 3;
    const uint8_t *rest = data + 1;
    const size_t restSize = size - 1;

    // The buffers live as long as the process: fresh ones of megabytes per input cost more than the work.
    static std::vector<uint8_t> image(kImage);
    static std::string sorted, track;
    const auto folder = freshFolder("log");
    const InFolder in(folder);
    if (placement == 0) {
        writeWhole(folder / log::kRawLogFile, rest, restSize);
        // A record cut off at the end of the file is no record.
        const size_t kept = std::min(restSize / log::kRecordSize * log::kRecordSize, kImage);
        std::memcpy(image.data(), rest, kept);
        std::memset(image.data() + kept, 0xFF, kImage - kept);
    } else {
        const size_t kept = std::min(restSize, kImage);
        std::memset(image.data(), 0xFF, kImage - kept);
        std::memcpy(image.data() + kImage - kept, rest + restSize - kept, kept);
        std::ofstream file(folder / log::kRawLogFile, std::ios::binary);
        file.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(kImage));
        if (placement == 2) file.write(reinterpret_cast<const char *>(rest), static_cast<std::streamsize>(restSize));
        FUZZ_CHECK(file.good());
    }

    FUZZ_CHECK(log::SortLogImage() == 1);
    readWhole(folder / log::kSortedLogFile, sorted);
    const size_t split = oldestSlot(image.data()) * log::kRecordSize;
    FUZZ_CHECK(sorted.size() == kImage);
    FUZZ_CHECK(std::memcmp(sorted.data(), image.data() + split, kImage - split) == 0);
    FUZZ_CHECK(std::memcmp(sorted.data() + kImage - split, image.data(), split) == 0);

    FUZZ_CHECK(log::exportTrackTextTo("track.txt") == 1);
    readWhole(folder / "track.txt", track);
    checkTrackText(track, reinterpret_cast<const uint8_t *>(sorted.data()));
    return 0;
}
