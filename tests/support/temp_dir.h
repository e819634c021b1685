#pragma once
// A temporary folder that is removed with everything in it.
#include <filesystem>
#include <string>

namespace trk7700::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Makes a folder the current directory for its lifetime, then restores the
// one that was current before.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::filesystem::path &folder) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~ScopedCurrentDirectory()
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    ScopedCurrentDirectory(const ScopedCurrentDirectory &) = delete;
    ScopedCurrentDirectory &operator=(const ScopedCurrentDirectory &) = delete;

private:
    std::filesystem::path previous_;
};

// The whole content of a file, or empty when it cannot be read.
std::string readFile(const std::filesystem::path &path);
void writeFile(const std::filesystem::path &path, const std::string &content);

}  // namespace trk7700::testing
