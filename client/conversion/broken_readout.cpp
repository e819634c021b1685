#include "conversion/broken_readout.h"

#include "conversion/file_ops.h"
#include "conversion/readout_progress.h"

#include <cstdio>

namespace trk7700::client {
namespace {

constexpr size_t kRecordBytes = 16;
constexpr const char *kSortedLogFileName = "SortDB.sr";

uint64_t fileSize(std::FILE *file)
{
    if (std::fseek(file, 0, SEEK_END) != 0) return 0;
    const long size = std::ftell(file);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

}  // namespace

std::string brokenOffPartName(std::time_t readoutStart)
{
    const std::tm t = localCalendarTime(readoutStart);
    char name[64];
    std::snprintf(name, sizeof name, "Wayfolk-broken-off-%04d-%02d-%02d-%02d_%02d_%02d.sr", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

size_t rawLogRecords(const std::string &path)
{
    std::FILE *file = openRegularForReading(path);
    if (file == nullptr) return 0;
    size_t records = 0;
    unsigned char slot[kRecordBytes];
    // Only the slots the log memory has: bytes beyond it are no records.
    for (uint64_t read = 0; read < kLogImageBytes && std::fread(slot, 1, kRecordBytes, file) == kRecordBytes;
         read += kRecordBytes) {
        const bool erased = slot[0] == 0xFF && slot[1] == 0xFF && slot[2] == 0xFF && slot[3] == 0xFF;
        if (!erased) ++records;
    }
    std::fclose(file);
    return records;
}

KeptPart keepBrokenOffPart(const std::string &folder, std::time_t readoutStart)
{
    KeptPart kept;
    // The raw part first: while it is there, an ordered copy beside it may be cut.
    std::string part;
    for (const char *name : {kRawLogFileName, kSortedLogFileName}) {
        const std::string path = inFolder(folder, name);
        if (rawLogRecords(path) > 0) {
            part = path;
            break;
        }
    }
    if (part.empty()) return kept;

    const std::string name = brokenOffPartName(readoutStart);
    const std::string stem = name.substr(0, name.size() - 3);
    std::string target = inFolder(folder, name);
    for (int n = 2; entryExists(target); ++n) target = inFolder(folder, stem + "-" + std::to_string(n) + ".sr");

    kept.records = rawLogRecords(part);
    if (std::FILE *file = openRegularForReading(part)) {
        kept.bytes = fileSize(file);
        std::fclose(file);
    }
    if (!replaceFile(part, target, kept.error)) return kept;
    kept.path = target;
    return kept;
}

}  // namespace trk7700::client
