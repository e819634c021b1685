#pragma once
// What the fuzz targets share: a private work folder for the files they make,
// whole-file reading and writing, and FUZZ_CHECK, which turns a broken promise
// into a crash that the fuzzer reports and the corpus replay fails on.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace trk7700::fuzzing {

[[noreturn]] inline void brokenPromise(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: broken promise: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                                          \
    ((condition) ? (void)0 : ::trk7700::fuzzing::brokenPromise(#condition, __FILE__, __LINE__))

namespace detail {

// In memory where the system offers it: the targets write megabytes per input.
inline std::filesystem::path makeWorkFolder()
{
    std::string base;
    if (const char *tmp = std::getenv("TMPDIR"); tmp != nullptr && tmp[0] != '\0') {
        base = tmp;
    } else if (::access("/dev/shm", W_OK) == 0) {
        base = "/dev/shm";
    } else {
        base = "/tmp";
    }
    std::string pattern = base + "/trk7700-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) brokenPromise("a work folder can be made", __FILE__, __LINE__);
    return pattern;
}

struct WorkFolder {
    std::filesystem::path path = makeWorkFolder();
    ~WorkFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace detail

// The process's own folder, removed when the process ends normally.
inline const std::filesystem::path &workFolder()
{
    static detail::WorkFolder folder;
    return folder.path;
}

// An empty sub-folder of the work folder (emptied when it exists).
inline std::filesystem::path freshFolder(const std::string &name)
{
    const auto path = workFolder() / name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

// Makes a folder the current directory for a scope. The fuzzer itself finds
// its corpus by relative names, so every input must leave the directory as it was.
class InFolder {
public:
    explicit InFolder(const std::filesystem::path &folder) : previous_(std::filesystem::current_path())
    {
        FUZZ_CHECK(::chdir(folder.c_str()) == 0);
    }
    ~InFolder() { FUZZ_CHECK(::chdir(previous_.c_str()) == 0); }
    InFolder(const InFolder &) = delete;
    InFolder &operator=(const InFolder &) = delete;

private:
    std::filesystem::path previous_;
};

// Reads a whole file into content, reusing its room: the log targets read
// megabytes per input, and fresh buffers of that size cost more than the work.
inline void readWhole(const std::filesystem::path &path, std::string &content)
{
    content.clear();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return;
    content.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::string readWhole(const std::filesystem::path &path)
{
    std::string content;
    readWhole(path, content);
    return content;
}

inline void writeWhole(const std::filesystem::path &path, const void *data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char *>(data), static_cast<std::streamsize>(size));
    FUZZ_CHECK(out.good());
}

inline void writeWhole(const std::filesystem::path &path, const std::string &content)
{
    writeWhole(path, content.data(), content.size());
}

}  // namespace trk7700::fuzzing
