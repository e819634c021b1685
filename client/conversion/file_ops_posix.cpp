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

int openRegularForReadingDescriptor(const std::string &path)
{
    // O_NONBLOCK: a FIFO planted under the name must not block the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

unsigned long currentProcessId() { return static_cast<unsigned long>(::getpid()); }

std::FILE *openRegularForReading(const std::string &path)
{
    const int fd = openRegularForReadingDescriptor(path);
    if (fd < 0) return nullptr;
    std::FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

int createFreshFileDescriptor(const std::string &path, FileAccess access)
{
    ::unlink(path.c_str());
    // O_EXCL: made only where nothing stands, so nothing planted meanwhile is
    // followed or opened (a FIFO included).
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  access == FileAccess::ownerOnly ? 0600 : 0644);
}

void closeFileDescriptor(int fd) { ::close(fd); }

std::FILE *createFreshFile(const std::string &path, FileAccess access)
{
    const int fd = createFreshFileDescriptor(path, access);
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

bool makeOwnerOnlyFolder(const std::string &folder, std::string &error)
{
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(folder).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    // An earlier folder may have been made readable by others: it is closed now.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || ::fchmod(fd, 0700) != 0) {
        error = folder + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

bool syncToDisk(const std::string &path, std::string &error)
{
    const auto syncOne = [&error](const std::string &name, int flags) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags);
        if (fd < 0 || ::fsync(fd) != 0) {
            error = name + ": " + std::strerror(errno);
            if (fd >= 0) ::close(fd);
            return false;
        }
        return ::close(fd) == 0;
    };
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return syncOne(path, 0) && syncOne(parent.empty() ? std::string(".") : parent.string(), O_DIRECTORY);
}

bool placeFileExclusively(const std::string &from, const std::string &to, bool &taken, std::string &error)
{
    // link() never replaces: it fails when the name is taken.
    taken = false;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST)
        taken = true;
    else
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
