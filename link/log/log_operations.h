#pragma once
#include <cstdint>

namespace trk7700::log {

// QZ_TRK7700_DUMP_DB: download, order and export the log into the text file at path.
int32_t dumpDb(const char *textFilePath);
// QZ_TRK7700_ERASE_All_DB
int32_t eraseAllDb();

// Download step: the dump command, then the whole image into "DB.sr" in the
// current directory, then the end marker. 1, 6 ("DB.sr" cannot be created or
// written) or 12 (the stream stopped for the tick limit, or no end marker).
int downloadLogImage();

// Erase step: memory size, erase command, end marker within the limit that
// the memory size sets. 1 or 12.
int eraseLog();

// Ticks the erase may take for a memory size.
int eraseTickLimit(int32_t memorySize);

}  // namespace trk7700::log
