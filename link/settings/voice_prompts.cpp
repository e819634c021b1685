#include "settings/voice_prompts.h"

#include "TRK7700_DLL.h"
#include "frame/file_system.h"
#include "frame/step_result.h"

#include <cstdio>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace trk7700::settings {

StepResult readWaveData(std::vector<uint8_t> &waveData)
{
    waveData.clear();
    uint64_t total = 0;
    for (const char *name : kWaveFileNames) {
        // Only a regular file: a link is not followed, a FIFO must not block.
        const frame::FileHandle file(frame::openRegularFile(name));
        struct stat info {};
        if (!file || ::fstat(::fileno(file.get()), &info) != 0) return return_uncompleted_wave_files;
        const auto size = static_cast<uint64_t>(info.st_size);
        total += size;
        // Checked before the file is read, so that a huge file costs no memory.
        if (total >= kWaveDataLimit) return return_file_size_over_128K_bytes;
        const size_t start = waveData.size();
        try {
            waveData.resize(start + size);
        } catch (const std::bad_alloc &) {
            return return_pc_not_enough_memory;
        }
        if (size > 0 && std::fread(waveData.data() + start, 1, size, file.get()) != size)
            return return_uncompleted_wave_files;
    }
    return kStepSucceeded;
}

}  // namespace trk7700::settings
