#include "settings/voice_prompts.h"

#include <cstdio>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace trk7700::settings {
namespace {

constexpr int32_t kOk = 1;
constexpr int32_t kNoMemory = 5;
constexpr int32_t kIncomplete = 16;
constexpr int32_t kTooLarge = 17;

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

}  // namespace

int32_t readWaveData(std::vector<uint8_t> &waveData)
{
    waveData.clear();
    uint64_t total = 0;
    for (const char *name : kWaveFileNames) {
        const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name, "rb"));
        // A folder of that name opens on Linux but is no sound file.
        struct stat info {};
        if (!file || ::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return kIncomplete;
        const auto size = static_cast<uint64_t>(info.st_size);
        total += size;
        // Checked before the file is read, so that a huge file costs no memory.
        if (total >= kWaveDataLimit) return kTooLarge;
        const size_t start = waveData.size();
        try {
            waveData.resize(start + size);
        } catch (const std::bad_alloc &) {
            return kNoMemory;
        }
        if (size > 0 && std::fread(waveData.data() + start, 1, size, file.get()) != size) return kIncomplete;
    }
    return kOk;
}

}  // namespace trk7700::settings
