#include "conversion/readout_history.h"

#include "conversion/file_ops.h"

#include <algorithm>
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

std::string keepInHistory(const std::string &trackTextPath, uint32_t serialNumber, std::time_t when, std::string &error)
{
    const fs::path folder = fs::path(historyFolder()) / std::to_string(serialNumber);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return {};
    }
    FILE *in = std::fopen(trackTextPath.c_str(), "rb");
    if (in == nullptr) {
        error = failure(trackTextPath);
        return {};
    }
    // Two readouts in the same second get names of their own.
    std::string name = timeName(when);
    fs::path target = folder / (name + ".txt.gz");
    for (int n = 2; fs::exists(fs::symlink_status(target)); ++n)
        target = folder / (name + "-" + std::to_string(n) + ".txt.gz");
    const fs::path partial = target.string() + ".partial";
    const int fd = createFreshFileDescriptor(partial.string());
    gzFile out = fd >= 0 ? gzdopen(fd, "wb9") : nullptr;
    if (out == nullptr) {
        error = failure(partial.string());
        if (fd >= 0) {
            closeFileDescriptor(fd);
            removeFile(partial.string());
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
    std::string replaceError;
    if (!written || !replaceFile(partial.string(), target.string(), replaceError)) {
        error = "cannot write " + target.string();
        removeFile(partial.string());
        return {};
    }
    return std::to_string(serialNumber) + "/" +
           target.filename().string().substr(0, target.filename().string().size() - 7);
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
    gzFile in = gzopen(path.c_str(), "rb");
    const std::string partial = trackTextPath + ".partial";
    FILE *out = createFreshFile(partial);
    if (in == nullptr || out == nullptr) {
        error = failure(in == nullptr ? path : partial);
        if (in != nullptr) gzclose(in);
        if (out != nullptr) std::fclose(out);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    int got = 0;
    while ((got = gzread(in, buffer, sizeof buffer)) > 0)
        ok = std::fwrite(buffer, 1, static_cast<size_t>(got), out) == static_cast<size_t>(got) && ok;
    ok = got == 0 && ok;
    gzclose(in);
    ok = std::fclose(out) == 0 && ok;
    std::string replaceError;
    if (!ok || !replaceFile(partial, trackTextPath, replaceError)) {
        error = "cannot restore " + name + " into " + trackTextPath;
        removeFile(partial);
        return false;
    }
    return true;
}

}  // namespace trk7700::client
