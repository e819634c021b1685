#include "serial/port_map.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace trk7700::serial {
namespace {

bool isDirectory(const std::string &path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string userPortDirectory()
{
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char *home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') return {};
        base = std::string(home) + "/.config";
    }
    return base + "/trk7700/ports";
}

// Devices whose name is prefix + decimal number, in numeric order.
std::vector<std::string> numberedDevices(const std::string &prefix)
{
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        if (digits.size() > 9) continue;
        found.emplace_back(std::stoul(digits), entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto &f : found) paths.push_back(std::move(f.second));
    return paths;
}

}  // namespace

std::string activePortDirectory()
{
    if (const char *dir = std::getenv("TRK7700_PORT_DIR"); dir != nullptr) return dir;
    std::string user = userPortDirectory();
    return isDirectory(user) ? user : std::string();
}

std::vector<std::string> automaticPortDevices()
{
    std::vector<std::string> all;
    for (const char *prefix : {"ttyUSB", "ttyACM", "rfcomm"}) {
        auto some = numberedDevices(prefix);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

std::string resolvePortPath(int comNumber)
{
    if (comNumber <= 0) return {};
    if (const char *dir = std::getenv("TRK7700_PORT_DIR"); dir != nullptr) {
        if (dir[0] == '\0') return {};
        return std::string(dir) + "/COM" + std::to_string(comNumber);
    }
    std::string user = userPortDirectory();
    if (isDirectory(user)) return user + "/COM" + std::to_string(comNumber);
    auto devices = automaticPortDevices();
    if (static_cast<size_t>(comNumber) > devices.size()) return {};
    return devices[static_cast<size_t>(comNumber) - 1];
}

}  // namespace trk7700::serial
