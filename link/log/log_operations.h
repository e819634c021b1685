#pragma once
#include <cstdint>

namespace trk7700::log {

// QZ_TRK7700_DUMP_DB: download, order and export the log into the text file at path.
int32_t dumpDb(const char *textFilePath);
// QZ_TRK7700_ERASE_All_DB
int32_t eraseAllDb();

}  // namespace trk7700::log
