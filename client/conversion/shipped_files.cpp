#include "conversion/shipped_files.h"

#include <filesystem>

namespace trk7700::client {

std::string executableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string voicePromptFolder(const std::string &dataDirectory)
{
    std::error_code ec;
    const std::string beside = executableFolder() + "/wav";
    if (!executableFolder().empty() && std::filesystem::is_directory(beside, ec)) return beside + "/";
    return dataDirectory + "/wav/";
}

}  // namespace trk7700::client
