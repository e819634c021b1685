#pragma once
// The eight sound files the logger plays as prompts and beeps. Every settings
// write sends all of them, concatenated in a fixed order, behind the record.
#include "frame/step_result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace trk7700::settings {

inline constexpr std::array<const char *, 8> kWaveFileNames{
    "battery_low.wav",         "BT_close.wav", "BT_open.wav",  "Error_Beep.wav", "GPS_search.wav",
    "GPS_search_finished.wav", "OK_Beep.wav",  "OK1_Beep.wav",
};

// The wave data must stay below this many bytes (128 KiB plus 256).
inline constexpr uint64_t kWaveDataLimit = 0x20100;

// Reads the eight files from the current directory, each whole and unchanged,
// one after the other. Fails with return_uncompleted_wave_files when a file
// cannot be opened or read, return_file_size_over_128K_bytes once the sizes
// reach the limit (later files are not opened), return_pc_not_enough_memory
// when no buffer can be had.
StepResult readWaveData(std::vector<uint8_t> &waveData);

}  // namespace trk7700::settings
