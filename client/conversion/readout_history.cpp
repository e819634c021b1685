#include "conversion/readout_history.h"

#include "conversion/file_ops.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <zlib.h>

namespace trk7700::client {
namespace {

namespace fs = std::filesystem;

std::string timeName(std::time_t when)
{
    const std::tm utc = utcCalendarTime(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H-%M-%SZ", &utc);
    return text;
}

std::string failure(const std::string &path) { return path + ": " + std::strerror(errno); }

}  // namespace

std::string historyFolder() { return inFolder(userDataFolder(), "history"); }

std::string keepInHistory(const std::string &trackTextPath, uint32_t serialNumber, std::time_t when, std::string &error,
                          const std::function<void(const std::string &)> &beforeWriting)
{
    const std::string folder = inFolder(historyFolder(), std::to_string(serialNumber));
    for (const std::string &level : {userDataFolder(), historyFolder(), folder})
        if (!makeOwnerOnlyFolder(level, error)) return {};
    std::FILE *in = openRegularForReading(trackTextPath);
    if (in == nullptr) {
        error = failure(trackTextPath);
        return {};
    }
    // A scratch name of this writer alone (process and a count within it):
    // another run writing at the same time never removes it.
    static std::atomic<unsigned> writers{0};
    const std::string name = timeName(when);
    const std::string partial = inFolder(folder, "." + name + "." + std::to_string(currentProcessId()) + "-" +
                                                     std::to_string(++writers) + ".txt.gz.partial");
    if (beforeWriting) beforeWriting(partial);
    const int fd = createFreshFileDescriptor(partial, FileAccess::ownerOnly);
    gzFile out = fd >= 0 ? gzdopen(fd, "wb9") : nullptr;
    if (out == nullptr) {
        error = failure(partial);
        if (fd >= 0) {
            closeFileDescriptor(fd);
            removeFile(partial);
        }
        std::fclose(in);
        return {};
    }
    bool written = true;
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        written = gzwrite(out, buffer, static_cast<unsigned>(got)) == static_cast<int>(got) && written;
    written = std::ferror(in) == 0 && written;
    std::fclose(in);
    written = gzclose(out) == Z_OK && written;
    if (!written) {
        error = "cannot write " + partial + " (is the disk full?)";
        removeFile(partial);
        return {};
    }
    // The entry takes the first free name; one already there is never replaced.
    for (int n = 1; n < 1000; ++n) {
        const std::string entry = n == 1 ? name : name + "-" + std::to_string(n);
        bool taken = false;
        if (placeFileExclusively(partial, inFolder(folder, entry + ".txt.gz"), taken, error))
            return std::to_string(serialNumber) + "/" + entry;
        if (!taken) break;
    }
    if (error.empty()) error = "no free name for the readout in " + folder;
    removeFile(partial);
    return {};
}

std::vector<HistoryEntry> listHistory()
{
    std::vector<HistoryEntry> entries;
    std::error_code ec;
    for (const auto &logger : fs::directory_iterator(historyFolder(), ec)) {
        if (!logger.is_directory()) continue;
        for (const auto &file : fs::directory_iterator(logger.path(), ec)) {
            const std::string fileName = file.path().filename().string();
            if (fileName.size() <= 7 || fileName.compare(fileName.size() - 7, 7, ".txt.gz") != 0) continue;
            entries.push_back({logger.path().filename().string() + "/" + fileName.substr(0, fileName.size() - 7),
                               file.path().string(), static_cast<uint64_t>(file.file_size(ec))});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    return entries;
}

std::string historyEntryPath(const std::string &name)
{
    std::error_code ec;
    if (name.find("..") != std::string::npos) return {};
    const fs::path inHistory = fs::path(historyFolder()) / (name + ".txt.gz");
    if (fs::is_regular_file(inHistory, ec)) return inHistory.string();
    if (name.size() > 7 && name.compare(name.size() - 7, 7, ".txt.gz") == 0 && fs::is_regular_file(name, ec))
        return name;
    return {};
}

bool restoreFromHistory(const std::string &name, const std::string &trackTextPath, std::string &error)
{
    const std::string path = historyEntryPath(name);
    if (path.empty()) {
        error = "no history entry " + name + " (see trk7700 history)";
        return false;
    }
    return decompressTrackText(path, trackTextPath, error);
}

bool decompressTrackText(const std::string &compressedPath, const std::string &trackTextPath, std::string &error)
{
    // Opened as a regular file only: a FIFO given as the entry never blocks.
    const int fd = openRegularForReadingDescriptor(compressedPath);
    gzFile in = fd >= 0 ? gzdopen(fd, "rb") : nullptr;
    if (in == nullptr && fd >= 0) closeFileDescriptor(fd);
    const std::string partial = trackTextPath + ".partial";
    FILE *out = in != nullptr ? createFreshFile(partial) : nullptr;
    if (in == nullptr || out == nullptr) {
        error = failure(in == nullptr ? compressedPath : partial);
        if (in != nullptr) gzclose(in);
        return false;
    }
    bool ok = true;
    uint64_t total = 0;
    char buffer[65536];
    int got = 0;
    while (ok && (got = gzread(in, buffer, sizeof buffer)) > 0) {
        total += static_cast<uint64_t>(got);
        if (total > kMaxTrackTextBytes) {
            error = compressedPath + " holds more than a full log's track text; it is not a readout of the logger";
            ok = false;
            break;
        }
        ok = std::fwrite(buffer, 1, static_cast<size_t>(got), out) == static_cast<size_t>(got);
    }
    // A stream cut short or damaged ends with an error, never with a part of
    // the text taken for the whole.
    int zlibError = Z_OK;
    const char *zlibMessage = gzerror(in, &zlibError);
    if (ok && (got < 0 || zlibError != Z_OK)) {
        error = compressedPath + " is cut short or damaged (" +
                (zlibError == Z_BUF_ERROR ? std::string("the compressed stream ends too early") : zlibMessage) +
                "); nothing was converted";
        ok = false;
    }
    const int closed = gzclose(in);
    if (ok && closed != Z_OK) {
        error = compressedPath + " is cut short or damaged (the compressed stream does not end whole); nothing was "
                                 "converted";
        ok = false;
    }
    const bool written = std::fclose(out) == 0;
    std::string replaceError;
    if (ok && (!written || !replaceFile(partial, trackTextPath, replaceError)))
        error = "cannot restore " + compressedPath + " into " + trackTextPath, ok = false;
    if (!ok) removeFile(partial);
    return ok;
}

}  // namespace trk7700::client
