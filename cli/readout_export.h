#pragma once
// The step after a readout's track text is in place, shared by trk7700
// download and trk7700 convert: the NMEA and mark files, and GPSBabel's KML,
// PLT and GPX files, split into trips or days as asked and with the marks as
// waypoints in the GPX and KML files.
#include "conversion/track_conversion.h"
#include "conversion/track_export.h"
#include "run_context.h"

#include <CLI/CLI.hpp>
#include <string>

namespace trk7700::cli {

struct ExportChoices : client::ExportOptions {
    std::string trips;          // --trips GAP: a new track after a gap longer than GAP
    bool map = false;           // --map: the map page Wayfolk.html
    bool days = false;          // --days: a new track at each local midnight
    std::string timeZone;       // --tz ZONE for --days; the system's zone when empty
    bool weekRollover = false;  // --week-rollover: dates 1024 weeks early are corrected
    const char *verb = "Read";  // "Read 4713 records ... into DIR"
    client::TrackSplitting splitting() const;
};

// --date, --per-mark, --kml, --plt, --gpx, --map, --trips, --days, --tz, --week-rollover.
void addExportOptions(CLI::App &command, ExportChoices &choices);
// --trips, --days, --tz alone.
void addSplittingOptions(CLI::App &command, ExportChoices &choices);

// The table of trips of the track text, after the files.
void showStatistics(RunContext &context, const std::string &trackText, const client::TrackSplitting &splitting);

// Everything a run may leave in the folder while it works: removed again when
// a signal ends the run. Earlier readouts' files are not among them, nor the
// run's input (input, when given), whatever its name.
void registerScratch(const client::ReadoutFiles &files, const std::string &input = "");

struct ExportResult {
    int exitCode = kExitOk;  // kExitFailed when a file could not be made (told already)
    bool converted = false;  // the NMEA (and mark) files are written: every record is safe
    size_t records = 0;
};

// Converts the track text in place into the folder's files and tells what was
// made; afterwards is what a signal during it would leave ("The track text is
// complete.").
ExportResult exportReadout(RunContext &context, const client::ReadoutFiles &files, const ExportChoices &choices,
                           const std::string &afterwards, const std::string &whatIsKept);

std::string humanSize(uintmax_t bytes);

}  // namespace trk7700::cli
