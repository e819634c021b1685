#include "frame/work_folder.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace trk7700::frame {
namespace {

std::string saved;
std::string fileName;
std::string folder;

std::string currentDirectory()
{
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
        if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string withSeparator(std::string text)
{
    if (!text.empty() && text.back() != '/') text += '/';
    return text;
}

}  // namespace

int enterWorkFolder(const char *path, FolderMode mode)
{
    saved.clear();
    fileName.clear();
    folder.clear();
    saved = currentDirectory();

    const std::string text = path != nullptr ? path : "";
    if (text.empty()) return mode == FolderMode::folder ? 0 : -1;

    const auto lastSlash = text.rfind('/');
    if (lastSlash == std::string::npos) {
        if (mode == FolderMode::file) {
            fileName = text;
            folder = saved;
        } else {
            folder = withSeparator(saved) + text;
        }
    } else if (text.front() == '/') {
        if (mode == FolderMode::file) {
            // A file right under the root keeps "/" as its folder.
            folder = text.substr(0, lastSlash == 0 ? 1 : lastSlash);
            fileName = text.substr(lastSlash + 1);
        } else {
            folder = text;
        }
    } else {
        folder = withSeparator(saved);
        if (mode == FolderMode::file) {
            folder += text.substr(0, lastSlash + 1);
            fileName = text.substr(lastSlash + 1);
        } else {
            folder += text;
        }
    }
    folder = withSeparator(folder);

    if (mode == FolderMode::file) {
        (void)::mkdir(folder.c_str(), 0777);  // an existing folder or a failure is ignored
        (void)::chdir(folder.c_str());
        return 0;
    }
    return ::chdir(folder.c_str()) == 0 ? 0 : -2;
}

void restoreSavedDirectory()
{
    if (!saved.empty()) (void)::chdir(saved.c_str());
}

const std::string &savedDirectory() { return saved; }
const std::string &outputFileName() { return fileName; }
const std::string &workFolder() { return folder; }

}  // namespace trk7700::frame
