// "SortDB.sr" of any content through the export. A file shorter than one image
// leaves the rest of the image empty (a record cut off at its end included); a
// longer one is cut at one image.
#include "fuzz_support.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "track_text_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace trk7700;
using namespace trk7700::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The buffers live as long as the process: fresh ones of megabytes per input cost more than the work.
    static std::vector<uint8_t> image(log::kLogImageSize);
    static std::string track;
    // A record cut off at the end of the file is no record.
    const size_t kept = std::min(size / log::kRecordSize * log::kRecordSize, log::kLogImageSize);
    if (kept > 0) std::memcpy(image.data(), data, kept);
    std::memset(image.data() + kept, 0xFF, log::kLogImageSize - kept);

    const auto folder = freshFolder("sorted");
    const InFolder in(folder);
    writeWhole(folder / log::kSortedLogFile, data, size);

    FUZZ_CHECK(log::exportTrackTextTo("track.txt") == 1);
    readWhole(folder / "track.txt", track);
    checkTrackText(track, image.data());
    // Pass 1 left its intermediate file; the caller's file took the place of the new one.
    FUZZ_CHECK(std::filesystem::exists(folder / log::kTrackTempFile));
    FUZZ_CHECK(!std::filesystem::exists(folder / log::kTrackNewFile));
    return 0;
}
