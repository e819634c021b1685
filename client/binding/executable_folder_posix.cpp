#include "binding/shipped_files.h"

#include <filesystem>

namespace trk7700::client {

std::string executableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

}  // namespace trk7700::client
