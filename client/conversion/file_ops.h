#pragma once
// The file system as the conversion step, the readout staging and the history
// use it, with the same safety on every system: an output is made as a fresh
// file under a scratch name and renamed into place, and nothing is written
// through or read from a link planted under a name. file_ops_posix.cpp and
// file_ops_windows.cpp give it on each system.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace trk7700::client {

// The separator of the paths the library is given ('/' on POSIX, '\\' on
// Windows: the library splits its paths there).
extern const char kFolderSeparator;

// name in folder.
std::string inFolder(const std::string &folder, const std::string &name);

// True when anything stands under the path; a link is not followed.
bool entryExists(const std::string &path);

// True when what stands under the path is neither a regular file nor a folder
// (a link, a FIFO, a device): something a program must not write through.
bool isPlantedEntry(const std::string &path);

// A regular file opened for reading; nullptr for a missing name and for a
// link, FIFO or folder under it, which is never followed and never blocks.
std::FILE *openRegularForReading(const std::string &path);

// The same as a C runtime file descriptor (for zlib), or -1.
int openRegularForReadingDescriptor(const std::string &path);

// This process's number, to make scratch names of its own.
unsigned long currentProcessId();

// Who may read a file a run makes: everybody (a readout's files), or only the
// user (the history and transcripts: they tell where the user has been).
enum class FileAccess { everyone, ownerOnly };

// The one way a run makes a file it writes: a new regular file for writing
// (binary). Whatever stood under the name is removed first, and the file is
// made only where nothing stands, so a link planted meanwhile is never written
// through and a FIFO never blocks. nullptr when it cannot be made.
std::FILE *createFreshFile(const std::string &path, FileAccess access = FileAccess::everyone);
// The same as a C runtime file descriptor (for zlib), or -1.
int createFreshFileDescriptor(const std::string &path, FileAccess access = FileAccess::everyone);
void closeFileDescriptor(int fd);

// Makes the folder (and any missing one above it) and leaves it readable by
// the user alone, whatever the umask and whatever it was before. False, with
// the reason in error, when it cannot or when a link stands in its place.
bool makeOwnerOnlyFolder(const std::string &folder, std::string &error);

// Puts what was written to the file, and the entry of its name in its folder,
// on the disk. False, with the reason in error, when the system says it failed.
bool syncToDisk(const std::string &path, std::string &error);

// Removes a file (a link itself, not what it points to).
bool removeFile(const std::string &path);

// Gives the file at from the name to, replacing what stands there (a link
// under that name is replaced itself, never the file it points to). False,
// with the reason in error, when it cannot.
bool replaceFile(const std::string &from, const std::string &to, std::string &error);

// Gives the file at from the name to only when nothing stands there yet;
// taken is set when something does (error then stays empty).
bool placeFileExclusively(const std::string &from, const std::string &to, bool &taken, std::string &error);

// The names in the folder, or none when it cannot be read.
std::vector<std::string> folderEntryNames(const std::string &folder);

// A folder of this run's own in the system's temporary folder, made so that
// nobody else can have planted it; empty when it cannot be made.
std::string makePrivateScratchFolder(const std::string &namePrefix);

// The calendar time in the system's local time zone, and in UTC.
std::tm localCalendarTime(std::time_t when);
std::tm utcCalendarTime(std::time_t when);

// Where the tools keep their own data: $XDG_DATA_HOME/trk7700
// (~/.local/share/trk7700) on POSIX, %LOCALAPPDATA%\trk7700 on Windows.
std::string userDataFolder();

// Where the tools keep their settings: $XDG_CONFIG_HOME/trk7700
// (~/.config/trk7700) on POSIX, %APPDATA%\trk7700 on Windows.
std::string userConfigFolder();

}  // namespace trk7700::client
