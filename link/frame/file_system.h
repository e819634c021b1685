#pragma once
// The operating system's file system as the library uses it: the current
// directory, folders, the path rules of the work folder, and files opened so
// that a planted link cannot redirect them and a FIFO cannot block them.
// file_system_posix.cpp and file_system_windows.cpp give it on each platform.
#include <cstdio>
#include <memory>
#include <string>

namespace trk7700::frame {

// The separator of the work-folder rules ('/' on POSIX, '\\' on Windows).
extern const char kPathSeparator;

// True when the path names a place independent of the current directory.
bool isAbsolutePath(const std::string &path);

// The current directory, or empty when it cannot be told.
std::string currentDirectory();
bool changeDirectory(const std::string &folder);

// Makes the folder and every missing folder above it, as mkdir -p does.
// True when the folder exists afterwards.
bool makeFolders(const std::string &folder);

// A file of the current directory opened for writing from its start. A link,
// FIFO or device planted under the name is replaced by a new regular file, so
// nothing outside the folder is written. nullptr when it cannot be made.
FILE *createFile(const char *name);

// A regular file of the current directory opened for reading; nullptr for a
// missing name and for anything else under it (a link, a FIFO, a folder), which
// is never followed and never blocks.
FILE *openRegularFile(const char *name);

// A regular file opened to append to, made when missing, readable by the
// user alone (it may tell where the user has been); nullptr for a link, FIFO,
// device or folder under the name, which is never followed and never blocks.
FILE *openPrivateForAppending(const char *path);

// Renames a file of the current directory, replacing a file of the new name
// (Windows' own rename refuses to). True when it went well.
bool replaceFile(const char *from, const char *to);

// Closes a file when it goes out of scope.
struct FileCloser {
    void operator()(FILE *file) const
    {
        if (file != nullptr) std::fclose(file);
    }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Closes a file that was written; true only when the close went well and
// written was true (a full disk shows at the close as well).
[[nodiscard]] inline bool closeWritten(FileHandle &file, bool written)
{
    return std::fclose(file.release()) == 0 && written;
}

}  // namespace trk7700::frame
