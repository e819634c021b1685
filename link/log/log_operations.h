#pragma once
#include "TRK7700_DLL.h"
#include "frame/step_result.h"

#include <cstdint>

namespace trk7700::log {

// QZ_TRK7700_DUMP_DB: download, order and export the log into the text file at path.
[[nodiscard]] TRK7700_Result dumpDb(const char *textFilePath);
// QZ_TRK7700_ERASE_All_DB
[[nodiscard]] TRK7700_Result eraseAllDb();

// Download step: the dump command, then the whole image into "DB.sr" in the
// current directory, then the end marker. Fails with
// return_can_not_create_db_file ("DB.sr" cannot be created or written) or
// return_device_time_out (the stream stopped for the tick limit, or no end marker).
StepResult downloadLogImage();

// Erase step: memory size, erase command, end marker within the limit that
// the memory size sets. Fails with return_device_time_out.
StepResult eraseLog();

// Ticks the erase may take for a memory size.
int eraseTickLimit(int32_t memorySize);

}  // namespace trk7700::log
