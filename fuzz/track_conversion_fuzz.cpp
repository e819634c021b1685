// The track text that the readout's conversion step reads, of any content.
// The first byte says whether the per-mark files are made (bit 0). Checked:
// the whole-log NMEA file holds every line from the third on without its mark
// column, and every file the step makes lies in the target folder under one
// of the names of a readout.
#include "conversion/track_conversion.h"
#include "fuzz_support.h"

#include <set>

using namespace trk7700;
using namespace trk7700::fuzzing;

namespace {

std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const bool perMark = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    // The target folder lies in a folder of its own, so that a file made
    // beside it would be seen.
    const auto root = freshFolder("conversion");
    const auto target = root / "target";
    std::filesystem::create_directory(target);
    const auto files = client::readoutFiles(target.string(), "");
    writeWhole(files.trackText, text);

    const auto outcome = client::convertTrackText(files, perMark);
    // The folder is writable: whatever the text holds, the step completes.
    FUZZ_CHECK(outcome.ok());

    std::string expected;
    std::set<std::string> markFiles;
    const auto lines = linesOf(text);
    size_t expectedLines = 0;
    for (size_t i = 2; i < lines.size(); ++i) {
        expected += (lines[i].size() > 4 ? lines[i].substr(4) : std::string()) + "\r\n";
        ++expectedLines;
    }
    for (const auto &made : outcome.markFiles) markFiles.insert(std::filesystem::path(made).filename().string());
    FUZZ_CHECK(readWhole(files.nmea) == expected);
    FUZZ_CHECK(outcome.sentenceLines == expectedLines);

    size_t entries = 0;
    for (const auto &entry : std::filesystem::directory_iterator(root)) {
        ++entries;
        FUZZ_CHECK(entry.path() == target);
    }
    FUZZ_CHECK(entries == 1);
    for (const auto &entry : std::filesystem::directory_iterator(target)) {
        const std::string name = entry.path().filename().string();
        FUZZ_CHECK(entry.is_regular_file());
        FUZZ_CHECK(name == "Wayfolk.txt" || name == "Wayfolk.nmea" || markFiles.count(name) == 1);
    }
    if (!perMark) FUZZ_CHECK(outcome.markFiles.empty());
    return 0;
}
