// A readout that fails while it writes the track text (a full disk, a file
// size limit) leaves an earlier track text of that name as it was, instead of
// a cut one: the text replaces it only once it is complete.
#include "TRK7700_DLL.h"
#include "log/log_image.h"
#include "log/track_text.h"
#include "sim/track_generator.h"
#include "support/log_files.h"
#include "support/result_printing.h"
#include "support/temp_dir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

// Limits the size of the files this process writes, for the length of a scope;
// a write beyond it fails (EFBIG) instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{bytes, previous_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace

TEST(TrackTextKeepTest, FailedWriteKeepsTheEarlierFile)
{
    TempDir dir;
    InDirectory in(dir.path());
    const auto log = sim::generateLog(sim::LogShape::drive, 3);
    writeFile(dir / log::kSortedLogFile, std::string(log.image.begin(), log.image.end()));
    ASSERT_EQ(log::exportTrackTextTo("complete.txt"), 1);
    const auto tempSize = std::filesystem::file_size(dir / log::kTrackTempFile);
    writeFile(dir / "Wayfolk.txt", "an earlier readout\r\n");

    // The intermediate file fits; the text, two header lines longer, does not.
    uint8_t result = 0;
    {
        const FileSizeLimit limit(tempSize + 100);
        result = log::writeTrackText("Wayfolk.txt");
    }
    EXPECT_EQ(result, return_can_not_create_output_file);
    EXPECT_EQ(readFile(dir / "Wayfolk.txt"), "an earlier readout\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / log::kTrackNewFile)) << "the cut text is not left behind";

    // Without the limit the complete text replaces the earlier one.
    EXPECT_EQ(log::writeTrackText("Wayfolk.txt"), 1);
    EXPECT_EQ(readFile(dir / "Wayfolk.txt"), readFile(dir / "complete.txt"));
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"Output_tmp.dat", "SortDB.sr", "Wayfolk.txt", "complete.txt"}));
}
