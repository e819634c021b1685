#include "frame/work_folder.h"

#include "frame/file_system.h"

namespace trk7700::frame {
namespace {

std::string saved;
std::string fileName;
std::string folder;

std::string withSeparator(std::string text)
{
    if (!text.empty() && text.back() != kPathSeparator) text += kPathSeparator;
    return text;
}

}  // namespace

bool enterWorkFolder(const char *path, FolderMode mode)
{
    saved = currentDirectory();
    fileName.clear();
    folder.clear();

    const std::string text = path != nullptr ? path : "";
    if (text.empty()) return mode == FolderMode::folder;

    const auto lastSeparator = text.rfind(kPathSeparator);
    if (lastSeparator == std::string::npos) {
        if (mode == FolderMode::file) {
            fileName = text;
            folder = saved;
        } else {
            folder = withSeparator(saved) + text;
        }
    } else if (isAbsolutePath(text)) {
        if (mode == FolderMode::file) {
            // A file right under the root keeps the root as its folder.
            folder = text.substr(0, lastSeparator == 0 ? 1 : lastSeparator);
            fileName = text.substr(lastSeparator + 1);
        } else {
            folder = text;
        }
    } else {
        folder = text.front() == kPathSeparator ? saved : withSeparator(saved);
        if (mode == FolderMode::file) {
            folder += text.substr(0, lastSeparator + 1);
            fileName = text.substr(lastSeparator + 1);
        } else {
            folder += text;
        }
    }
    folder = withSeparator(folder);

    if (mode == FolderMode::file) {
        // Without a file name nothing could be written; a folder that cannot
        // be made or entered must not send the files elsewhere.
        if (fileName.empty() || !makeFolders(folder)) return false;
    }
    return changeDirectory(folder);
}

void restoreSavedDirectory()
{
    if (!saved.empty()) (void)changeDirectory(saved);
}

const std::string &savedDirectory() { return saved; }
const std::string &outputFileName() { return fileName; }
const std::string &workFolder() { return folder; }

}  // namespace trk7700::frame
