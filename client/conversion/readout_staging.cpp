#include "conversion/readout_staging.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trk7700::client {
namespace {

bool entryExists(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

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
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    FILE *file = (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) ? ::fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        ::close(fd);
        return false;
    }
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
    DIR *folder = ::opendir(files.folder.empty() ? "." : files.folder.c_str());
    if (folder == nullptr) return false;
    bool found = false;
    while (const dirent *entry = ::readdir(folder))
        if (isMarkFileName(entry->d_name, files.stamp)) {
            found = true;
            break;
        }
    ::closedir(folder);
    return found;
}

StagedTextOutcome placeStagedTrackText(const ReadoutFiles &files, std::string &error)
{
    const std::string staged = stagedTrackText(files);
    if (!trackTextHasRecords(staged) && earlierReadoutPresent(files)) {
        std::remove(staged.c_str());
        return StagedTextOutcome::emptyKeptEarlier;
    }
    // rename() replaces a planted link itself, never the file it points to.
    if (std::rename(staged.c_str(), files.trackText.c_str()) != 0) {
        error = files.trackText + ": " + std::strerror(errno);
        return StagedTextOutcome::cannotPlace;
    }
    return StagedTextOutcome::placed;
}

void discardStagedTrackText(const ReadoutFiles &files) { std::remove(stagedTrackText(files).c_str()); }

}  // namespace trk7700::client
