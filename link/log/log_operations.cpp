#include "log/log_operations.h"

#include "dumpmode/dump_mode.h"

namespace trk7700::log {

int32_t dumpDb(const char *textFilePath)
{
    (void)textFilePath;
    if (!dumpmode::inDumpMode) return 26;
    return 12;  // download not built yet
}

int32_t eraseAllDb()
{
    if (!dumpmode::inDumpMode) return 26;
    return 12;  // erase not built yet
}

}  // namespace trk7700::log
