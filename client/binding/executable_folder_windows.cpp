#include "binding/shipped_files.h"

#include <windows.h>

#include <vector>

namespace trk7700::client {

std::string executableFolder()
{
    // The buffer grows until the whole path fits (a path may exceed MAX_PATH).
    std::vector<char> path(MAX_PATH + 1);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            const std::string exe(path.data(), length);
            const auto separator = exe.find_last_of("\\/");
            return separator == std::string::npos ? std::string() : exe.substr(0, separator);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace trk7700::client
