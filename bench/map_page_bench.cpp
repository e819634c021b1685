// trk7700-bench-map: the figures and the map page of a full log of 249,856
// records: the time to read the track text and compute the trips, to write
// the page, the page's size, and how long headless Chromium (when installed)
// takes to open the page and draw every trip, without network. Printed as a
// table.
#include "log/log_image.h"
#include "log/track_text.h"
#include "sim/track_generator.h"
#include "stats/map_page.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace trk7700;

namespace {

double secondsOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

int main()
{
    char pattern[] = "/tmp/trk7700-bench-map-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path folder = pattern;
    const auto log = sim::generateLog(sim::LogShape::full, 1);
    {
        std::ofstream out(folder / "DB.sr", std::ios::binary);
        out.write(reinterpret_cast<const char *>(log.image.data()), static_cast<std::streamsize>(log.image.size()));
    }
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    const bool exported = log::SortLogImage() == 1 && log::exportTrackTextTo("Wayfolk.txt") == 1;
    fs::current_path(before);
    if (!exported) {
        std::fprintf(stderr, "the full log could not be exported\n");
        return 1;
    }
    const auto files = client::readoutFiles(folder.string(), "");
    const client::TrackSplitting splitting{1800, false};

    client::TrackStatistics statistics;
    std::string error;
    const double figures = secondsOf([&] { client::readoutStatistics(files.trackText, splitting, statistics, error); });
    std::string page;
    const double writing = secondsOf([&] { page = client::writeReadoutMapPage(files, splitting, error); });
    if (page.empty()) {
        std::fprintf(stderr, "no map page: %s\n", error.c_str());
        return 1;
    }
    std::printf("Full log: %zu records, %zu trips (--trips 30m), %.1f km\n", statistics.total.points,
                statistics.trips.size(), statistics.total.distanceMetres / 1000.0);
    std::printf("  %-44s %8.2f s\n", "track text read, trips and figures", figures);
    std::printf("  %-44s %8.2f s\n", "map page written", writing);
    std::printf("  %-44s %8.2f MB (at most 15)\n", "map page size", static_cast<double>(fs::file_size(page)) / 1e6);

    if (fs::exists("/usr/bin/chromium")) {
        const fs::path dom = folder / "dom.html";
        auto open = [&](const std::string &url) {
            const std::string command =
                "timeout 300 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                "--disable-background-networking --disable-component-update --disable-sync "
                "'--host-resolver-rules=MAP * ~NOTFOUND' --user-data-dir='" +
                (folder / "profile").string() + "' --virtual-time-budget=60000 --dump-dom '" + url + "' > '" +
                dom.string() + "' 2>/dev/null";
            return std::system(command.c_str());
        };
        // Chromium's own start, on an empty page, for comparison.
        const double empty = secondsOf([&] { open("about:blank"); });
        int status = 0;
        const double drawing = secondsOf([&] { status = open("file://" + page); });
        const bool drawn = status == 0 && readAll(dom).find("data-drawn=\"" + std::to_string(statistics.trips.size()) +
                                                            "\"") != std::string::npos;
        std::printf("  %-44s %8.2f s\n", "Chromium opened an empty page", empty);
        std::printf("  %-44s %8.2f s%s\n", "Chromium opened the page and drew every trip", drawing,
                    drawn ? "" : "  (NOT drawn)");
    } else {
        std::printf("  (chromium is not installed: no drawing time)\n");
    }
    fs::remove_all(folder);
    return 0;
}
