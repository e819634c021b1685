// The conversion step's file system on Windows. A reparse point (a symbolic
// link or a junction) is what a planted link is here: it is opened and removed
// as itself, never followed.
#include "conversion/file_ops.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

namespace trk7700::client {
namespace {

// errno for the callers that tell the reason with strerror.
void setErrnoFrom(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    default: errno = EIO; break;
    }
}

DWORD attributesOf(const std::string &path) { return GetFileAttributesA(path.c_str()); }

std::string systemMessage(DWORD code)
{
    char *text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = text != nullptr ? text : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

}  // namespace

const char kFolderSeparator = '\\';

std::string inFolder(const std::string &folder, const std::string &name) { return folder + "\\" + name; }

bool entryExists(const std::string &path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool isPlantedEntry(const std::string &path)
{
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

unsigned long currentProcessId() { return GetCurrentProcessId(); }

int openRegularForReadingDescriptor(const std::string &path)
{
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        setErrnoFrom(GetLastError());
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool regular = GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
                         (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    const int fd = regular ? _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY) : -1;
    if (fd < 0) CloseHandle(handle);
    return fd;
}

std::FILE *openRegularForReading(const std::string &path)
{
    const int fd = openRegularForReadingDescriptor(path);
    if (fd < 0) return nullptr;
    std::FILE *file = _fdopen(fd, "rb");
    if (file == nullptr) _close(fd);
    return file;
}

int createFreshFileDescriptor(const std::string &path, FileAccess)
{
    // The files under the user's own profile are the user's alone already.
    // A link under the name is removed as itself; CREATE_NEW then makes the
    // file only where nothing stands.
    DeleteFileA(path.c_str());
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        setErrnoFrom(GetLastError());
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileA(path.c_str());
    }
    return fd;
}

void closeFileDescriptor(int fd) { _close(fd); }

std::FILE *createFreshFile(const std::string &path, FileAccess access)
{
    const int fd = createFreshFileDescriptor(path, access);
    if (fd < 0) return nullptr;
    std::FILE *file = _fdopen(fd, "wb");
    if (file == nullptr) {
        _close(fd);
        DeleteFileA(path.c_str());
    }
    return file;
}

bool removeFile(const std::string &path)
{
    if (DeleteFileA(path.c_str())) return true;
    // A directory link is removed as a folder (only the link goes).
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           RemoveDirectoryA(path.c_str());
}

bool replaceFile(const std::string &from, const std::string &to, std::string &error)
{
    // Unlike rename() of the C runtime, this replaces an existing file; a
    // link under the target name is replaced itself.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD code = GetLastError();
    setErrnoFrom(code);
    error = to + ": " + systemMessage(code);
    return false;
}

bool makeOwnerOnlyFolder(const std::string &folder, std::string &error)
{
    // %LOCALAPPDATA% is the user's alone: a folder made there inherits that.
    for (size_t end = folder.find_first_of("\\/", 3);; end = folder.find_first_of("\\/", end + 1)) {
        const std::string step = folder.substr(0, end);
        if (!CreateDirectoryA(step.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = step + ": " + systemMessage(GetLastError());
            return false;
        }
        if (end == std::string::npos) break;
    }
    const DWORD attributes = attributesOf(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        error = folder + ": not a folder of its own";
        return false;
    }
    return true;
}

bool syncToDisk(const std::string &path, std::string &error)
{
    // A folder's entries are flushed with the files' own metadata (NTFS logs
    // them); a folder handle cannot be flushed.
    const DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return true;
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        error = path + ": " + systemMessage(GetLastError());
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        return false;
    }
    CloseHandle(handle);
    return true;
}

bool placeFileExclusively(const std::string &from, const std::string &to, bool &taken, std::string &error)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    taken = false;
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS)
        taken = true;
    else
        error = to + ": " + systemMessage(code);
    return false;
}

std::vector<std::string> folderEntryNames(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(inFolder(folder.empty() ? "." : folder, "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.emplace_back(entry.cFileName);
    while (FindNextFileA(search, &entry));
    FindClose(search);
    return names;
}

std::string makePrivateScratchFolder(const std::string &namePrefix)
{
    char temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof temporary, temporary);
    if (length == 0 || length > MAX_PATH) return {};
    // CreateDirectoryA fails for a name that is taken: the folder is new.
    const unsigned long process = GetCurrentProcessId();
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string folder = std::string(temporary) + namePrefix + std::to_string(process) + "-" +
                                   std::to_string(GetTickCount() + attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

std::tm localCalendarTime(std::time_t when)
{
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::tm utcCalendarTime(std::time_t when)
{
    std::tm utc{};
    gmtime_s(&utc, &when);
    return utc;
}

std::string userDataFolder()
{
    const char *local = std::getenv("LOCALAPPDATA");
    if (local != nullptr && local[0] != '\0') return std::string(local) + "\\trk7700";
    const char *profile = std::getenv("USERPROFILE");
    return std::string(profile != nullptr ? profile : ".") + "\\AppData\\Local\\trk7700";
}

std::string userConfigFolder()
{
    const char *roaming = std::getenv("APPDATA");
    if (roaming != nullptr && roaming[0] != '\0') return std::string(roaming) + "\\trk7700";
    const char *profile = std::getenv("USERPROFILE");
    return std::string(profile != nullptr ? profile : ".") + "\\AppData\\Roaming\\trk7700";
}

}  // namespace trk7700::client
