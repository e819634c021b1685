// The conversion step's file system on a POSIX system.
#include "conversion/file_ops.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace trk7700::client {

const char kFolderSeparator = '/';

std::string inFolder(const std::string &folder, const std::string &name) { return folder + "/" + name; }

bool entryExists(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isPlantedEntry(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

std::FILE *openRegularForReading(const std::string &path)
{
    // O_NONBLOCK: a FIFO planted under the name must not block the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

int createFreshFileDescriptor(const std::string &path)
{
    ::unlink(path.c_str());
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

void closeFileDescriptor(int fd) { ::close(fd); }

std::FILE *createFreshFile(const std::string &path)
{
    const int fd = createFreshFileDescriptor(path);
    if (fd < 0) return nullptr;
    std::FILE *file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(path.c_str());
    }
    return file;
}

bool removeFile(const std::string &path) { return ::unlink(path.c_str()) == 0; }

bool replaceFile(const std::string &from, const std::string &to, std::string &error)
{
    // rename() replaces a planted link itself, never the file it points to.
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = to + ": " + std::strerror(errno);
    return false;
}

std::vector<std::string> folderEntryNames(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (listing == nullptr) return names;
    while (const dirent *entry = ::readdir(listing)) names.emplace_back(entry->d_name);
    ::closedir(listing);
    return names;
}

std::string makePrivateScratchFolder(const std::string &namePrefix)
{
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / (namePrefix + "XXXXXX")).string();
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

std::tm localCalendarTime(std::time_t when)
{
    std::tm local{};
    ::localtime_r(&when, &local);
    return local;
}

std::tm utcCalendarTime(std::time_t when)
{
    std::tm utc{};
    ::gmtime_r(&when, &utc);
    return utc;
}

std::string userDataFolder()
{
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/trk7700";
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.local/share/trk7700";
}

std::string userConfigFolder()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/trk7700";
    const char *home = std::getenv("HOME");
    return std::string(home != nullptr ? home : ".") + "/.config/trk7700";
}

}  // namespace trk7700::client
