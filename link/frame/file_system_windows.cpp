// The file system on Windows: backslash paths with drive colons, the current
// directory through the Win32 calls, and files that are plain files on disk
// (a link or junction planted under a name is never followed, and a device
// name such as NUL or COM1 is never written to or read from).
#include "frame/file_system.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <vector>

namespace trk7700::frame {

const char kPathSeparator = '\\';

// A path with a drive colon ("C:\Tracks\log.txt") names its place itself.
bool isAbsolutePath(const std::string &path) { return path.find(':') != std::string::npos; }

std::string currentDirectory()
{
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return {};
    std::vector<char> buffer(needed + 1);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return {};
    return std::string(buffer.data(), length);
}

bool changeDirectory(const std::string &folder) { return SetCurrentDirectoryA(folder.c_str()) != 0; }

// The C library's rename fails when the new name exists; a link planted under
// the new name is replaced itself, not followed.
bool replaceFile(const char *from, const char *to) { return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0; }

namespace {

bool isFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The handle as a C stream; the handle is closed when that fails.
FILE *streamFor(HANDLE handle, int flags, const char *mode)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE *file = _fdopen(fd, mode);
    if (file == nullptr) _close(fd);
    return file;
}

// A file on disk: not a device, pipe or console behind a reserved name, not a
// folder, not a reparse point.
bool isPlainDiskFile(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

bool makeFolders(const std::string &folder)
{
    // Each level in turn; a level that exists, a drive ("C:") or a share that
    // cannot be created is passed over, and only the last one counts.
    for (size_t end = folder.find_first_of("\\/", 1); end != std::string::npos;
         end = folder.find_first_of("\\/", end + 1)) {
        const std::string step = folder.substr(0, end);
        if (!isFolder(step)) (void)CreateDirectoryA(step.c_str(), nullptr);
    }
    if (!isFolder(folder)) (void)CreateDirectoryA(folder.c_str(), nullptr);
    return isFolder(folder);
}

FILE *createFile(const char *name)
{
    // A link planted under the name goes itself, never the file it points to.
    const DWORD attributes = GetFileAttributesA(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !DeleteFileA(name))
        return nullptr;
    const HANDLE handle = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!isPlainDiskFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    return streamFor(handle, _O_WRONLY, "wb");
}

FILE *openPrivateForAppending(const char *path)
{
    // Under the user's profile a new file is the user's alone already.
    const HANDLE handle = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!isPlainDiskFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    return streamFor(handle, _O_WRONLY | _O_APPEND, "ab");
}

FILE *openRegularFile(const char *name)
{
    const HANDLE handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!isPlainDiskFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    return streamFor(handle, _O_RDONLY, "rb");
}

}  // namespace trk7700::frame
