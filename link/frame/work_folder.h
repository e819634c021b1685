#pragma once
// The library opens all its files by bare name in a work folder that it makes
// the current directory for the length of one call; the previous current
// directory comes back when the WorkFolder goes out of scope.
#include <string>

namespace trk7700::frame {

enum class FolderMode { file, folder };

class WorkFolder {
public:
    // Remembers the current directory, splits the path, and enters the work
    // folder; entered() tells whether it is the current directory now.
    //   An absolute path (isAbsolutePath) keeps its folder; any other is taken
    //   relative to the current directory; the last separator splits folder
    //   from file name (file mode) — the whole path is the folder in folder mode.
    // File mode: a missing or empty path, or one without a file name (ending in
    // a separator), fails; every missing folder of the path is made. Folder
    // mode: a missing or empty path succeeds and leaves the current directory
    // as it is. A failure leaves the current directory as it was.
    WorkFolder(const char *path, FolderMode mode);
    // Makes the remembered directory the current directory again.
    ~WorkFolder();
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    [[nodiscard]] bool entered() const { return entered_; }
    // The file name of the path (file mode), to be opened in the work folder.
    const std::string &fileName() const { return fileName_; }
    const std::string &folder() const { return folder_; }

private:
    bool enter(const std::string &path, FolderMode mode);

    std::string saved_;
    std::string fileName_;
    std::string folder_;
    bool entered_ = false;
};

}  // namespace trk7700::frame
