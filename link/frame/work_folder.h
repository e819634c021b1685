#pragma once
// The library opens all its files by bare name in a work folder that it makes
// the current directory; every entry point that does so restores the previous
// current directory before it returns.
#include <string>

namespace trk7700::frame {

enum class FolderMode { file, folder };

// Remembers the current directory in savedDirectory, splits the path, and
// enters the work folder. 0 on success; -1 for a missing or empty path in file
// mode; -2 when the folder cannot be entered in folder mode.
//   path starting with '/': absolute; the last '/' splits folder from file name;
//   any other path is relative to the current directory.
// In file mode the folder is created when missing (a failure is ignored and the
// files then go to the current directory as it was).
int enterWorkFolder(const char *path, FolderMode mode);

// Makes savedDirectory the current directory again.
void restoreSavedDirectory();

const std::string &savedDirectory();
const std::string &outputFileName();
const std::string &workFolder();

// Restores the saved directory when it goes out of scope.
class SavedDirectoryGuard {
public:
    SavedDirectoryGuard() = default;
    SavedDirectoryGuard(const SavedDirectoryGuard &) = delete;
    SavedDirectoryGuard &operator=(const SavedDirectoryGuard &) = delete;
    ~SavedDirectoryGuard() { restoreSavedDirectory(); }
};

}  // namespace trk7700::frame
