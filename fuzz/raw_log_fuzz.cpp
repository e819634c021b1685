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

// Where the ordered image must start, as the logger's ring defines it: at F,
// the first used slot after E, the first empty slot; at 0 when there is no F.
size_t oldestSlot(const uint8_t *image)
{
    size_t firstEmpty = log::kRecordCount;
    for (size_t i = 0; i < log::kRecordCount && firstEmpty == log::kRecordCount; ++i)
        if (isEmptySlot(image + i * log::kRecordSize)) firstEmpty = i;
    for (size_t i = firstEmpty + 1; i < log::kRecordCount; ++i)
        if (!isEmptySlot(image + i * log::kRecordSize)) return i;
    return 0;
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
        const size_t kept = std::min(restSize, kImage);
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
