#pragma once
// The library opens all its files by bare name in a work folder that it makes
// the current directory; every entry point that does so restores the previous
// current directory before it returns.
#include <string>

namespace trk7700::frame {

enum class FolderMode { file, folder };

// Remembers the current directory in savedDirectory, splits the path, and
// enters the work folder; true when it is the current directory afterwards.
//   An absolute path (isAbsolutePath) keeps its folder; any other is taken
//   relative to the current directory; the last separator splits folder from
//   file name (file mode) — the whole path is the folder in folder mode.
// File mode: a missing or empty path, or one without a file name (ending in a
// separator), fails; every missing folder of the path is made. Folder mode: a
// missing or empty path succeeds and leaves the current directory as it is.
// A failure leaves the current directory as it was.
[[nodiscard]] bool enterWorkFolder(const char *path, FolderMode mode);

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
