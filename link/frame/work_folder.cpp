#include "frame/work_folder.h"

#include "frame/file_system.h"

namespace trk7700::frame {
namespace {

std::string withSeparator(std::string text)
{
    if (!text.empty() && text.back() != kPathSeparator) text += kPathSeparator;
    return text;
}

}  // namespace

WorkFolder::WorkFolder(const char *path, FolderMode mode) : saved_(currentDirectory())
{
    entered_ = enter(path != nullptr ? path : "", mode);
}

WorkFolder::~WorkFolder()
{
    if (!saved_.empty()) (void)changeDirectory(saved_);
}

bool WorkFolder::enter(const std::string &text, FolderMode mode)
{
    if (text.empty()) return mode == FolderMode::folder;

    const auto lastSeparator = text.rfind(kPathSeparator);
    if (lastSeparator == std::string::npos) {
        if (mode == FolderMode::file) {
            fileName_ = text;
            folder_ = saved_;
        } else {
            folder_ = withSeparator(saved_) + text;
        }
    } else if (isAbsolutePath(text)) {
        if (mode == FolderMode::file) {
            // A file right under the root keeps the root as its folder.
            folder_ = text.substr(0, lastSeparator == 0 ? 1 : lastSeparator);
            fileName_ = text.substr(lastSeparator + 1);
        } else {
            folder_ = text;
        }
    } else {
        folder_ = text.front() == kPathSeparator ? saved_ : withSeparator(saved_);
        if (mode == FolderMode::file) {
            folder_ += text.substr(0, lastSeparator + 1);
            fileName_ = text.substr(lastSeparator + 1);
        } else {
            folder_ += text;
        }
    }
    folder_ = withSeparator(folder_);

    if (mode == FolderMode::file) {
        // Without a file name nothing could be written; a folder that cannot
        // be made or entered must not send the files elsewhere.
        if (fileName_.empty() || !makeFolders(folder_)) return false;
    }
    return changeDirectory(folder_);
}

}  // namespace trk7700::frame
