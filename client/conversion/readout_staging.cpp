#include "conversion/readout_staging.h"

#include "conversion/file_ops.h"

#include <cstdio>

namespace trk7700::client {
namespace {

// A mark file of this readout: "wayfolk(TAG" + 3 characters + ")" + stamp + ".nmea".
bool isMarkFileName(const std::string &name, const std::string &stamp)
{
    const std::string head = "wayfolk(TAG";
    const std::string tail = ")" + stamp + ".nmea";
    return name.size() == head.size() + 3 + tail.size() && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string stagedTrackText(const ReadoutFiles &files) { return files.trackText + ".partial"; }

bool trackTextHasRecords(const std::string &path)
{
    // Regular files only: a FIFO planted under the name must not block.
    std::FILE *file = openRegularForReading(path);
    if (file == nullptr) return false;
    int lineBreaks = 0;
    bool recordSeen = false;
    for (int c; !recordSeen && (c = std::fgetc(file)) != EOF;) {
        if (c == '\n')
            ++lineBreaks;
        else if (lineBreaks >= 2 && c != '\r')
            recordSeen = true;
    }
    std::fclose(file);
    return recordSeen;
}

bool earlierReadoutPresent(const ReadoutFiles &files)
{
    for (const std::string *path : {&files.trackText, &files.nmea, &files.kml, &files.plt, &files.gpx})
        if (entryExists(*path)) return true;
    for (const std::string &name : folderEntryNames(files.folder))
        if (isMarkFileName(name, files.stamp)) return true;
    return false;
}

StagedTextOutcome placeStagedTrackText(const ReadoutFiles &files, std::string &error)
{
    const std::string staged = stagedTrackText(files);
    if (!trackTextHasRecords(staged) && earlierReadoutPresent(files)) {
        removeFile(staged);
        return StagedTextOutcome::emptyKeptEarlier;
    }
    // A planted link under the real name is replaced itself, never the file it points to.
    return replaceFile(staged, files.trackText, error) ? StagedTextOutcome::placed : StagedTextOutcome::cannotPlace;
}

void discardStagedTrackText(const ReadoutFiles &files) { removeFile(stagedTrackText(files)); }

}  // namespace trk7700::client
