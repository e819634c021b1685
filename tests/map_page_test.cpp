// The map page: self-contained, one drawn line per trip and a marker per run
// of marks in headless Chromium without network, the figures on it, a full
// log's page within 15 MB, and a failed write that keeps the earlier page.
#include "sim/track_generator.h"
#include "stats/map_page.h"
#include "support/crafted_track.h"
#include "support/headless_browser.h"
#include "support/result_printing.h"

#include <gtest/gtest.h>

using namespace trk7700;
using namespace trk7700::testing;

namespace {

TEST(MapPage, PolylineEncodingIsTheCommonOne)
{
    // The worked example of the encoding, and a repeated point left out.
    EXPECT_EQ(client::encodePolyline({{38.5, -120.2}, {40.7, -120.95}, {40.7, -120.95}, {43.252, -126.453}}),
              "_p~iF~ps|U_ulLnnqC_mqNvxq`@");
    EXPECT_EQ(client::encodePolyline({}), "");
    EXPECT_EQ(client::encodePolyline({{0, 0}}), "??");
}

// Three trips (gaps of more than an hour), two runs of marks, a trip of one point.
const std::vector<CraftedRecord> kThreeTrips = {
    {48.10, 11.50, 20, 8, 0, 0, 10},       {48.11, 11.51, 20, 8, 1, 0, 10, 5}, {48.12, 11.53, 20, 8, 2, 0, 10, 5},
    {48.13, 11.55, 20, 8, 3, 0, 10},       {48.20, 11.60, 20, 11, 0, 0, 20},   {48.21, 11.62, 20, 11, 5, 0, 20, 42},
    {48.22, 11.64, 20, 11, 10, 0, 20, 42}, {48.30, 11.70, 21, 9, 0, 0, 0},
};

TEST(MapPage, DrawsEveryTripAndMarkOffline)
{
    if (!chromiumInstalled()) GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh)";
    TempDir dir;
    const std::string text = craftedTrackText(kThreeTrips, dir.path());
    ASSERT_FALSE(text.empty());
    const auto files = client::readoutFiles(dir.str(), "");
    std::string error;
    const std::string page = client::writeReadoutMapPage(files, {3600, false}, error);
    ASSERT_EQ(page, (dir / "Wayfolk.html").string()) << error;

    const std::string html = readFile(page);
    // Self-contained: nothing is loaded from elsewhere; tiles are asked for only when online.
    EXPECT_EQ(html.find("<script src"), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos);
    EXPECT_NE(html.find(".leaflet-container"), std::string::npos);  // Leaflet's style, inlined
    EXPECT_NE(html.find("if (navigator.onLine)"), std::string::npos);
    EXPECT_NE(html.find("OpenStreetMap</a> contributors"), std::string::npos);
    // The figures: a row per trip and the total.
    EXPECT_EQ(occurrences(html, "<tr>"), 1u + 3u);
    EXPECT_EQ(occurrences(html, "<tr class=\"total\">"), 1u);

    const std::string dom = renderedDom(page);
    ASSERT_FALSE(dom.empty()) << "Chromium did not render the page";
    EXPECT_NE(dom.find("data-drawn=\"3\""), std::string::npos) << "the page's script did not finish";
    EXPECT_EQ(occurrences(dom, "class=\"trk-trip leaflet-interactive\""), 3u);
    EXPECT_EQ(occurrences(dom, "trk-mark leaflet-zoom-animated"), 2u);
    EXPECT_NE(dom.find("title=\"Mark 5, 2026-11-20 08:01:00 UTC\""), std::string::npos);
    EXPECT_NE(dom.find("title=\"Mark 42, 2026-11-20 11:05:00 UTC\""), std::string::npos);
    // Every drawn line has a path of its own, not an empty one.
    EXPECT_EQ(dom.find("d=\"M0 0\""), std::string::npos);
}

TEST(MapPage, AFailedWriteKeepsTheEarlierPage)
{
    TempDir dir;
    ASSERT_FALSE(craftedTrackText(kThreeTrips, dir.path()).empty());
    const auto files = client::readoutFiles(dir.str(), "");
    const std::string page = client::mapPagePath(files);
    writeFile(page, "the earlier page");
    std::string error;
    const auto noLeaflet = dir / "no-leaflet";
    std::filesystem::create_directory(noLeaflet);
    EXPECT_FALSE(client::writeMapPage(files.trackText, {}, noLeaflet.string(), page, error));
    EXPECT_NE(error.find("Leaflet"), std::string::npos) << error;
    EXPECT_FALSE(client::writeMapPage(files.trackText, {}, "", page, error));
    EXPECT_NE(error.find("libjs-leaflet"), std::string::npos) << error;
    EXPECT_FALSE(client::writeMapPage((dir / "missing.txt").string(), {}, client::leafletFolder(), page, error));
    EXPECT_EQ(readFile(page), "the earlier page");
    for (const auto &name : filesIn(dir.path())) EXPECT_EQ(name.find(".partial"), std::string::npos) << name;
}

TEST(MapPage, AFullLogsPageStaysWithin15Megabytes)
{
    TempDir dir;
    const auto log = sim::generateLog(sim::LogShape::full, 11);
    writeFile(dir / "DB.sr", std::string(log.image.begin(), log.image.end()));
    {
        InDirectory in(dir.path());
        ASSERT_EQ(log::SortLogImage(), 1);
        ASSERT_EQ(log::exportTrackTextTo("Wayfolk.txt"), 1);
    }
    const auto files = client::readoutFiles(dir.str(), "");
    std::string error;
    const std::string page = client::writeReadoutMapPage(files, {1800, false}, error);
    ASSERT_FALSE(page.empty()) << error;
    EXPECT_LE(std::filesystem::file_size(page), 15u * 1000 * 1000);
    std::string summaryError;
    EXPECT_NE(client::readoutSummary(files, {1800, false}, summaryError).find(" Punkte, "), std::string::npos)
        << summaryError;
}

}  // namespace
