#pragma once
// The readout's conversion step, shared by the desktop tool and the command
// line: file names in the target folder, the NMEA file of the whole log and
// the per-mark files made from the library's track text, and the GPSBabel runs
// that turn the NMEA file into KML, PLT and GPX. No widgets here.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/types.h>
#include <string>
#include <vector>

namespace trk7700::client {

struct ExportOptions {
    bool kml = false;         // "Google Earth"
    bool plt = false;         // "Ozi Explorer"
    bool gpx = false;         // "GPX"
    bool dateInName = false;  // "Datum an Dateinamen anhängen"
    bool perMark = false;     // "Je Markierung extra Datei"
};

// day_month-hour_minute_second, the hour without a leading zero: 5 December,
// 09:07:03 gives "05_12-9_07_03".
std::string makeDateStamp(const std::tm &localTime);
std::string makeDateStampNow();

// The files of one readout in folder T. The folder text is used as typed: a
// folder ending in '/' gives a doubled separator, which the system accepts.
struct ReadoutFiles {
    std::string folder;
    std::string stamp;      // the date stamp S, or empty
    std::string trackText;  // T/Wayfolk[S].txt: written by the library, read by the conversion
    std::string nmea;       // T/Wayfolk[S].nmea: the whole log, GPSBabel's input
    std::string kml;        // T/Wayfolk[S].kml
    std::string plt;        // T/Wayfolk[S].plt
    std::string gpx;        // T/Wayfolk[S].gpx
    // T/wayfolk(TAG<K>)[S].nmea for the 3-character mark text K ("--5", "-42").
    std::string markFile(const std::string &markText) const;
};
ReadoutFiles readoutFiles(const std::string &folder, const std::string &stamp);

struct ConversionOutcome {
    enum class Failure { none, trackTextMissing, nmeaNotWritable, markFileNotWritable } failure = Failure::none;
    std::string failedPath;              // the file concerned, when failure is set
    size_t sentenceLines = 0;            // data lines written to the whole-log NMEA file
    size_t markedLines = 0;              // of them, lines with a mark
    std::vector<std::string> markFiles;  // mark files created, in order (a repeated mark appears again)
    size_t impossibleRecords = 0;        // records whose values cannot be a position and a time
    int64_t newestDay = -1;              // UTC day (since 1970) of the newest possible record, as the logger dated it
    size_t correctedRecords = 0;         // records whose date was moved on by 1024 weeks
    bool ok() const { return failure == Failure::none; }
};

// The longest line a track text holds is far shorter (the library writes
// lines of about 80 bytes): no reader holds more of any line than this.
inline constexpr size_t kMaxTrackLineBytes = 512;

// One line of the file without its line break and CR; false at the end. A
// line longer than kMaxTrackLineBytes comes back cut there with tooLong set
// (the rest of it is skipped), so memory stays bounded whatever the file holds.
bool readBoundedLine(std::FILE *file, std::string &line, bool &tooLong);

// Output files are written under this name beside their real one and renamed
// into place when complete, so that an entry planted under the real name (a
// link, a FIFO) is replaced, never written through or waited on. What an
// interrupted run leaves under it is scratch.
std::string partialName(const std::string &path);
// GPSBabel gives some outputs their format's extension: its partial name keeps
// the extension last ("Wayfolk.partial.plt").
std::string gpsBabelPartialName(const std::string &output);

// Reads the track text, skips its two header lines, writes every data line
// without its 4-character mark column to the whole-log NMEA file and, with
// perMark, each run of equally marked lines to a file of its own (a mark that
// comes back later starts its file anew). Lines end in CR LF.
ConversionOutcome convertTrackText(const ReadoutFiles &files, bool perMark);

struct ConversionChoices {
    bool perMark = false;
    // Today's UTC day (since 1970) to correct the GPS week rollover: records
    // dated at least 1024 weeks before it are moved on by 1024 weeks in the
    // NMEA and mark files. -1 keeps the dates as the logger gave them.
    int64_t rolloverToday = -1;
};
ConversionOutcome convertTrackText(const ReadoutFiles &files, const ConversionChoices &choices);

// One GPSBabel run: the program and its argument list (no shell).
struct GpsBabelRun {
    std::string format;  // "kml", "ozi", "gpx"
    std::string output;
    std::vector<std::string> arguments;  // without the program name
};
#ifdef _WIN32
inline constexpr const char *kGpsBabelProgram = "gpsbabel.exe";
#else
inline constexpr const char *kGpsBabelProgram = "gpsbabel";
#endif
inline constexpr const char *kGpsBabelPackage = "gpsbabel";

// What a run reads beyond the whole-log NMEA file and what it does with it.
struct GpsBabelInputs {
    bool tracks = false;                // "-t": tracks as well as waypoints
    std::vector<std::string> moreNmea;  // NMEA files read after the first, each a track of its own
    std::string waypointsGpx;           // a second input: waypoints in a GPX file
    std::vector<std::string> filters;   // "-x ..." filters, applied in order
};
// GPSBabel's output format with its options: a KML holds each track as one
// timed line in metres, without a placemark per point (a full log's would be
// far too big for any viewer); waypoints stay placemarks.
std::string gpsBabelOutputFormat(const std::string &format);

// GPSBabel's argument list for one output: the one place it is made.
GpsBabelRun gpsBabelRun(const std::string &nmea, const std::string &format, const std::string &output,
                        const GpsBabelInputs &inputs = {});

// A file that GPSBabel makes from the whole-log NMEA file.
struct ExportTarget {
    std::string format;  // GPSBabel's name of the format: "kml", "ozi", "gpx"
    std::string output;
};
// The checked formats, in the order KML, PLT, GPX.
std::vector<ExportTarget> exportTargets(const ReadoutFiles &files, const ExportOptions &options);

// The window's runs for the checked formats, in the order KML, PLT, GPX.
std::vector<GpsBabelRun> gpsBabelRuns(const ReadoutFiles &files, const ExportOptions &options);

// Starts programs; a seam so that tests can record instead of run.
class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Starts the program found on PATH with the arguments; false (and the
    // reason in error) when it cannot be started.
    virtual bool startDetached(const std::string &program, const std::vector<std::string> &arguments,
                               std::string &error) = 0;
};

// Starts the program without waiting for it; its exit is collected in the background.
class DetachedLauncher : public ProgramLauncher {
public:
    bool startDetached(const std::string &program, const std::vector<std::string> &arguments,
                       std::string &error) override;
};

// Removes a link, FIFO or other non-regular entry planted under an output
// name, so that a program started to write it cannot be redirected by it.
void removePlantedEntry(const std::string &path);

// Runs the program and waits for it. Returns its exit status (0..255), or -1
// when it could not be started or ended by a signal (error says why); what it
// printed on standard error is collected in diagnostics.
// started, when given, learns the program's process id as soon as it runs;
// programMissing, when given, whether -1 means the program was not found.
int runAndWait(const std::string &program, const std::vector<std::string> &arguments, std::string &error,
               std::string &diagnostics, const std::function<void(pid_t)> &started = {},
               bool *programMissing = nullptr);

// True when GPSBabel's output is whole: GPX and KML end with their closing
// tag (a GPX of points holds track points), a PLT file holds one whole line per point (GPSBabel exits 0 even when
// the disk filled up under it).
bool gpsBabelOutputComplete(const std::string &format, const std::string &path, size_t expectedPoints);

struct GpsBabelOutcome {
    enum class Kind { made, cannotStart, failed, cut } kind = Kind::failed;
    int status = 0;           // GPSBabel's exit status, -1 when it did not run or was killed
    std::string error;        // why it could not run
    std::string diagnostics;  // what it printed on standard error
};

// Runs GPSBabel and waits: it writes the output's partial name, which takes the
// real name only when GPSBabel succeeded and the file is whole.
GpsBabelOutcome runGpsBabelChecked(const GpsBabelRun &run, size_t expectedPoints,
                                   const std::function<void(pid_t)> &started = {});

}  // namespace trk7700::client
