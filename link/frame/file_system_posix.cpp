#include "frame/file_system.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace trk7700::frame {

const char kPathSeparator = '/';

bool isAbsolutePath(const std::string &path) { return !path.empty() && path.front() == '/'; }

std::string currentDirectory()
{
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool changeDirectory(const std::string &folder) { return ::chdir(folder.c_str()) == 0; }

bool replaceFile(const char *from, const char *to) { return std::rename(from, to) == 0; }

bool makeFolders(const std::string &folder)
{
    struct stat info {};
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string step = folder.substr(0, end);
        if (!step.empty() && ::mkdir(step.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (end == std::string::npos) break;
    }
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FILE *createFile(const char *name)
{
    struct stat info {};
    // Whatever else was planted under the name goes; a link is removed itself,
    // never the file it points to.
    if (::lstat(name, &info) == 0 && !S_ISREG(info.st_mode) && ::unlink(name) != 0) return nullptr;
    const int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    FILE *file = ::fdopen(fd, "wb");
    if (file == nullptr) ::close(fd);
    return file;
}

FILE *openPrivateForAppending(const char *path)
{
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat info {};
    // An earlier file readable by others is closed to them now.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fchmod(fd, 0600) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE *file = ::fdopen(fd, "ab");
    if (file == nullptr) ::close(fd);
    return file;
}

FILE *openRegularFile(const char *name)
{
    const int fd = ::open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    FILE *file = ::fdopen(fd, "rb");
    if (file == nullptr) ::close(fd);
    return file;
}

}  // namespace trk7700::frame
